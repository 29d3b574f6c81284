#include "platform/ui/AsideWait.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>

using rt::ui::AsideWait;

namespace {

QProgressDialog *shownProgress(const QString &name)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *p = qobject_cast<QProgressDialog *>(w); p && p->objectName() == name && p->isVisible())
            return p;
    }
    return nullptr;
}

bool hasButton(const QProgressDialog *p)
{
    return p->findChild<QPushButton *>() != nullptr;
}

// Work that runs until told to stop, then takes a moment to wind down.
struct Work
{
    std::atomic<bool> stop{false};
    std::atomic<bool> ended{false};
    int windDownMs = 150;
    void operator()()
    {
        for (int i = 0; i < 200 && !stop.load(); ++i)
            QThread::msleep(10);
        QThread::msleep(windDownMs);
        ended.store(true);
    }
};

} // namespace

// The dialog shows after its delay with the caller's face, no wait cursor over it, the
// caller's own lifted and put back after; Esc stops once, and the dialog stays, without its
// button, saying it stops until the work has wound down.
TEST(AsideWait, TheDialogShowsLateAndAStopIsPassedOnOnce)
{
    QApplication::setOverrideCursor(Qt::BusyCursor); // the caller's
    Work work;
    int stops = 0, whileStopping = 0;
    AsideWait wait({.dialog = AsideWait::Dialog{.title = QStringLiteral("T"),
                                                .label = [] { return QStringLiteral("working"); },
                                                .percent = [] { return 40; },
                                                .stoppingLabel = QStringLiteral("stopping"),
                                                .stopText = QStringLiteral("Stop"),
                                                .objectName = QStringLiteral("t_progress"),
                                                .progressAfterMs = 200},
                    .stop = [&] {
                        ++stops;
                        work.stop.store(true);
                        return true;
                    },
                    .whileStopping = [&] { ++whileStopping; }});
    QElapsedTimer clock;
    qint64 shownAfter = -1;
    Qt::CursorShape before = Qt::ArrowCursor;
    bool cursorOverDialog = true, faceRight = false, stoppingSaid = false, buttonWhileStopping = true;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        QProgressDialog *p = shownProgress(QStringLiteral("t_progress"));
        if (!p) {
            if (shownAfter < 0 && QApplication::overrideCursor())
                before = QApplication::overrideCursor()->shape();
            return;
        }
        if (shownAfter < 0) {
            shownAfter = clock.elapsed();
            cursorOverDialog = QApplication::overrideCursor() != nullptr;
            faceRight = p->windowTitle() == QLatin1String("T") && p->labelText() == QLatin1String("working")
                        && p->value() == 40 && p->isModal() && hasButton(p);
            QTest::keyClick(p, Qt::Key_Escape);
        } else if (p->labelText() == QLatin1String("stopping")) {
            stoppingSaid = true;
            buttonWhileStopping = hasButton(p);
            QTest::keyClick(p, Qt::Key_Escape); // asks nothing more
        }
    });
    probe.start(20);
    clock.start();
    const bool whole = wait.run(std::ref(work));
    probe.stop();
    EXPECT_FALSE(whole);
    EXPECT_TRUE(work.ended.load()) << "returns once the work has ended";
    EXPECT_TRUE(wait.stopped() && wait.shown());
    EXPECT_EQ(before, Qt::WaitCursor);
    EXPECT_GE(shownAfter, 200 - 20);
    EXPECT_FALSE(cursorOverDialog);
    EXPECT_TRUE(faceRight);
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(stoppingSaid);
    EXPECT_FALSE(buttonWhileStopping);
    EXPECT_GT(whileStopping, 0);
    EXPECT_EQ(shownProgress(QStringLiteral("t_progress")), nullptr);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor) << "the caller's is back";
    QApplication::restoreOverrideCursor();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "and only it";
}

// A stop the work refuses (its COMMIT has begun) leaves the work to end as it would, the dialog
// saying what the work does, without a button; while the work cannot be stopped there is no
// button and Esc asks nothing.
TEST(AsideWait, AStopTooLateLeavesTheWorkToEndAsItWould)
{
    Work work;
    work.windDownMs = 0;
    int stops = 0, whileStopping = 0;
    std::atomic<bool> saving{false};
    bool refusedSaid = false, buttonAfter = true;
    AsideWait::Dialog face{.label = [&] { return QString::fromUtf8(saving.load() ? "saving" : "deleting"); },
                           .stoppingLabel = QStringLiteral("stopping"),
                           .objectName = QStringLiteral("t_progress"),
                           .progressAfterMs = 0};
    AsideWait refusing({.dialog = face,
                        .stop = [&] {
                            ++stops;
                            saving.store(true);
                            return false;
                        },
                        .whileStopping = [&] { ++whileStopping; }});
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        QProgressDialog *p = shownProgress(QStringLiteral("t_progress"));
        if (!p)
            return;
        if (stops == 0 && hasButton(p)) {
            QTest::mouseClick(p->findChild<QPushButton *>(), Qt::LeftButton);
        } else if (stops == 1 && p->labelText() == QLatin1String("saving")) {
            refusedSaid = true;
            buttonAfter = hasButton(p);
            work.stop.store(true);
        }
    });
    probe.start(20);
    EXPECT_TRUE(refusing.run(std::ref(work)));
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(refusing.stopped());
    EXPECT_TRUE(refusedSaid) << "the work's own label, not the stopping one";
    EXPECT_FALSE(buttonAfter);
    EXPECT_EQ(whileStopping, 0);

    Work unstoppable;
    unstoppable.windDownMs = 0;
    face.stoppable = [] { return false; };
    int unstoppableStops = 0, escapes = 0;
    bool buttonShown = false, backAfterEsc = false;
    AsideWait saving2({.dialog = face, .stop = [&] {
                           ++unstoppableStops;
                           return true;
                       }});
    probe.disconnect();
    QObject::connect(&probe, &QTimer::timeout, [&] {
        QProgressDialog *p = shownProgress(QStringLiteral("t_progress"));
        if (!p)
            return;
        buttonShown = buttonShown || hasButton(p);
        if (escapes == 1)
            backAfterEsc = true;
        if (escapes < 2) {
            ++escapes;
            QTest::keyClick(p, Qt::Key_Escape);
            if (escapes == 2)
                unstoppable.stop.store(true);
        }
    });
    EXPECT_TRUE(saving2.run(std::ref(unstoppable)));
    EXPECT_FALSE(buttonShown);
    EXPECT_TRUE(backAfterEsc) << "up again after Esc";
    EXPECT_EQ(unstoppableStops, 0);
}

// Without a dialog: `look` answering false stops the work once and is asked no more, no cursor
// shows, the program's timers run meanwhile; the operator's input waits unless a wait window is
// the active modal window.
TEST(AsideWait, WithoutADialogLookStopsAndInputWaitsButForAWaitWindow)
{
    Work work;
    int looks = 0, stops = 0, timers = 0;
    bool cursor = false;
    AsideWait wait({.waitCursor = false,
                    .look = [&] {
                        cursor = cursor || QApplication::overrideCursor();
                        return ++looks < 3;
                    },
                    .stop = [&] {
                        ++stops;
                        work.stop.store(true);
                        return true;
                    }});
    QTimer ticking;
    QObject::connect(&ticking, &QTimer::timeout, [&] { ++timers; });
    ticking.start(10);
    EXPECT_FALSE(wait.run(std::ref(work)));
    EXPECT_EQ(looks, 3);
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(cursor);
    EXPECT_FALSE(wait.shown());
    EXPECT_GT(timers, 3);

    EXPECT_EQ(AsideWait::letThrough(), QEventLoop::ExcludeUserInputEvents);
    QDialog box;
    box.setWindowModality(Qt::ApplicationModal);
    box.show();
    EXPECT_EQ(AsideWait::letThrough(), QEventLoop::ExcludeUserInputEvents) << "a modal box is no wait window";
    AsideWait::markWaitWindow(&box);
    EXPECT_EQ(AsideWait::letThrough(), QEventLoop::AllEvents);
    box.hide();
    EXPECT_EQ(AsideWait::letThrough(), QEventLoop::ExcludeUserInputEvents);
}
