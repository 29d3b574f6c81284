// Draws the program's bitmaps at build time: toolbar buttons and their disabled variants, the
// category buttons, the strip backgrounds, the dialog buttons, the background picture and the
// window icons. Simple, consistent shapes; nothing is taken from elsewhere.
//
//   bmpgen OUTPUT_DIR NAME…      (NAME as "GE_Rpr.bmp", "vel_history.jpg", …)
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>
#include <functional>

namespace {

const QColor StripColor(0xE9, 0xEF, 0xF8);
const QColor SideTop(0x2F, 0x5F, 0x9E);
const QColor SideBottom(0x6F, 0x9C, 0xD4);

using Glyph = std::function<void(QPainter &, const QRectF &, const QColor &)>;

QPen pen(const QColor &c, double w)
{
    QPen p(c, w);
    p.setCapStyle(Qt::RoundCap);
    p.setJoinStyle(Qt::RoundJoin);
    return p;
}

void cross(QPainter &p, const QRectF &r, const QColor &c)
{
    p.setPen(pen(c, r.width() * 0.16));
    p.drawLine(r.topLeft() + QPointF(r.width() * .2, r.height() * .2), r.bottomRight() - QPointF(r.width() * .2, r.height() * .2));
    p.drawLine(r.topRight() + QPointF(-r.width() * .2, r.height() * .2), r.bottomLeft() + QPointF(r.width() * .2, -r.height() * .2));
}

void plus(QPainter &p, const QRectF &r, const QColor &c)
{
    p.setPen(pen(c, r.width() * 0.18));
    p.drawLine(QPointF(r.center().x(), r.top() + r.height() * .15), QPointF(r.center().x(), r.bottom() - r.height() * .15));
    p.drawLine(QPointF(r.left() + r.width() * .15, r.center().y()), QPointF(r.right() - r.width() * .15, r.center().y()));
}

void magnifier(QPainter &p, const QRectF &r, const QColor &c)
{
    p.setPen(pen(c, r.width() * .12));
    p.setBrush(QColor(255, 255, 255, 180));
    const QRectF lens(r.left() + r.width() * .1, r.top() + r.height() * .1, r.width() * .55, r.height() * .55);
    p.drawEllipse(lens);
    p.drawLine(lens.center() + QPointF(lens.width() * .36, lens.height() * .36), r.bottomRight() - QPointF(r.width() * .1, r.height() * .1));
}

void refresh(QPainter &p, const QRectF &r, const QColor &c)
{
    p.setPen(pen(c, r.width() * .12));
    p.setBrush(Qt::NoBrush);
    const QRectF a = r.adjusted(r.width() * .15, r.height() * .15, -r.width() * .15, -r.height() * .15);
    p.drawArc(a, 40 * 16, 280 * 16);
    QPainterPath head;
    const QPointF tip(a.right() - a.width() * .05, a.top() + a.height() * .18);
    head.moveTo(tip + QPointF(-a.width() * .35, -a.height() * .02));
    head.lineTo(tip + QPointF(a.width() * .08, a.height() * .2));
    head.lineTo(tip + QPointF(a.width() * .05, -a.height() * .3));
    head.closeSubpath();
    p.setBrush(c);
    p.drawPath(head);
}

void columns(QPainter &p, const QRectF &r, const QColor &c)
{
    p.setPen(pen(c.darker(130), 1));
    for (int i = 0; i < 3; ++i) {
        const QRectF bar(r.left() + r.width() * (.12 + i * .28), r.top() + r.height() * .15, r.width() * .2, r.height() * .7);
        p.setBrush(i == 1 ? c.lighter(140) : c);
        p.drawRect(bar);
    }
}

// A bar chart on its axis: 历史统计's rows per year.
void chart(QPainter &p, const QRectF &r, const QColor &c)
{
    const double base = r.bottom() - r.height() * .1;
    const double heights[] = {.35, .6, .45, .8};
    p.setPen(pen(c.darker(130), 1));
    for (int i = 0; i < 4; ++i) {
        const double h = r.height() * heights[i];
        p.setBrush(i % 2 ? c.lighter(130) : c);
        p.drawRect(QRectF(r.left() + r.width() * (.1 + i * .21), base - h, r.width() * .16, h));
    }
    p.setPen(pen(c.darker(160), r.width() * .06));
    p.drawLine(QPointF(r.left() + r.width() * .04, base), QPointF(r.right() - r.width() * .04, base));
}

void arrows(QPainter &p, const QRectF &r, const QColor &c)
{
    p.setPen(pen(c, r.width() * .11));
    const double x1 = r.left() + r.width() * .32, x2 = r.left() + r.width() * .68;
    const double top = r.top() + r.height() * .12, bottom = r.bottom() - r.height() * .12;
    p.drawLine(QPointF(x1, bottom), QPointF(x1, top));
    p.drawLine(QPointF(x1, top), QPointF(x1 - r.width() * .14, top + r.height() * .2));
    p.drawLine(QPointF(x1, top), QPointF(x1 + r.width() * .14, top + r.height() * .2));
    p.drawLine(QPointF(x2, top), QPointF(x2, bottom));
    p.drawLine(QPointF(x2, bottom), QPointF(x2 - r.width() * .14, bottom - r.height() * .2));
    p.drawLine(QPointF(x2, bottom), QPointF(x2 + r.width() * .14, bottom - r.height() * .2));
}

void printer(QPainter &p, const QRectF &r, const QColor &c)
{
    p.setPen(pen(c.darker(150), 1.2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(r.left() + r.width() * .28, r.top() + r.height() * .08, r.width() * .44, r.height() * .35));
    p.setBrush(c);
    p.drawRoundedRect(QRectF(r.left() + r.width() * .1, r.top() + r.height() * .38, r.width() * .8, r.height() * .36), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(r.left() + r.width() * .28, r.top() + r.height() * .62, r.width() * .44, r.height() * .3));
}

void question(QPainter &p, const QRectF &r, const QColor &c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(r.adjusted(r.width() * .1, r.height() * .1, -r.width() * .1, -r.height() * .1));
    QFont f(QStringLiteral("Liberation Sans"));
    f.setBold(true);
    f.setPixelSize(int(r.height() * .62));
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(r, Qt::AlignCenter, QStringLiteral("?"));
}

void door(QPainter &p, const QRectF &r, const QColor &c)
{
    p.setPen(pen(c.darker(140), 1.2));
    p.setBrush(c.lighter(150));
    p.drawRect(r.adjusted(r.width() * .2, r.height() * .08, -r.width() * .2, -r.height() * .08));
    cross(p, r.adjusted(r.width() * .22, r.height() * .2, -r.width() * .22, -r.height() * .2), QColor(0xC6, 0x28, 0x28));
}

void leave(QPainter &p, const QRectF &r, const QColor &c)
{
    p.setPen(pen(c.darker(130), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(r.width() * .4, r.height() * .1, -r.width() * .1, -r.height() * .1));
    p.setPen(pen(c, r.width() * .12));
    const double y = r.center().y();
    p.drawLine(QPointF(r.left() + r.width() * .12, y), QPointF(r.left() + r.width() * .62, y));
    p.drawLine(QPointF(r.left() + r.width() * .12, y), QPointF(r.left() + r.width() * .3, y - r.height() * .18));
    p.drawLine(QPointF(r.left() + r.width() * .12, y), QPointF(r.left() + r.width() * .3, y + r.height() * .18));
}

void person(QPainter &p, const QRectF &r, const QColor &c, double scale = 1.0, bool skirt = false)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    const double w = r.width() * scale, h = r.height() * scale;
    const QPointF base(r.center().x(), r.bottom() - r.height() * .06);
    p.drawEllipse(QPointF(base.x(), base.y() - h * .72), w * .16, h * .16);
    QPainterPath body;
    if (skirt) {
        body.moveTo(base.x(), base.y() - h * .55);
        body.lineTo(base.x() + w * .3, base.y());
        body.lineTo(base.x() - w * .3, base.y());
    } else {
        body.addRoundedRect(QRectF(base.x() - w * .24, base.y() - h * .52, w * .48, h * .52), w * .15, w * .15);
    }
    p.drawPath(body);
}

void house(QPainter &p, const QRectF &r, const QColor &c)
{
    p.setPen(pen(c.darker(140), 1));
    p.setBrush(c);
    QPainterPath roof;
    roof.moveTo(r.left() + r.width() * .08, r.top() + r.height() * .48);
    roof.lineTo(r.center().x(), r.top() + r.height() * .1);
    roof.lineTo(r.right() - r.width() * .08, r.top() + r.height() * .48);
    roof.closeSubpath();
    p.drawPath(roof);
    p.setBrush(QColor(0xFF, 0xF3, 0xE0));
    p.drawRect(QRectF(r.left() + r.width() * .2, r.top() + r.height() * .48, r.width() * .6, r.height() * .44));
    p.setBrush(c.darker(130));
    p.drawRect(QRectF(r.center().x() - r.width() * .08, r.top() + r.height() * .64, r.width() * .16, r.height() * .28));
}

void briefcase(QPainter &p, const QRectF &r, const QColor &c)
{
    p.setPen(pen(c.darker(150), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(r.center().x() - r.width() * .14, r.top() + r.height() * .18, r.width() * .28, r.height() * .16));
    p.setBrush(c);
    p.drawRoundedRect(QRectF(r.left() + r.width() * .1, r.top() + r.height() * .32, r.width() * .8, r.height() * .55), 3, 3);
}

void heart(QPainter &p, const QRectF &r, const QColor &c)
{
    QPainterPath h;
    const double x = r.center().x(), top = r.top() + r.height() * .3, bottom = r.bottom() - r.height() * .1;
    h.moveTo(x, bottom);
    h.cubicTo(r.left() - r.width() * .05, r.top() + r.height() * .45, r.left() + r.width() * .2, r.top(), x, top);
    h.cubicTo(r.right() - r.width() * .2, r.top(), r.right() + r.width() * .05, r.top() + r.height() * .45, x, bottom);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(h);
}

QImage toolbarButton(const Glyph &glyph, const QColor &color, bool disabled)
{
    QImage img(53, 38, QImage::Format_RGB32);
    img.fill(StripColor);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    glyph(p, QRectF(14, 2, 25, 20), disabled ? QColor(0xA4, 0xA5, 0xA5) : color);
    return img;
}

QImage categoryButton(const Glyph &glyph, const QColor &color)
{
    QImage img(39, 36, QImage::Format_RGB32);
    QLinearGradient g(0, 0, 0, 36);
    g.setColorAt(0, QColor(0xF7, 0xFA, 0xFF));
    g.setColorAt(1, QColor(0xD8, 0xE5, 0xF6));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(img.rect(), g);
    p.setPen(QColor(0x9D, 0xB6, 0xD8));
    p.drawRoundedRect(QRectF(0.5, 0.5, 38, 35), 4, 4);
    glyph(p, QRectF(6, 4, 27, 28), color);
    return img;
}

QImage dialogButton(const QString &label)
{
    QImage img(61, 24, QImage::Format_RGB32);
    QLinearGradient g(0, 0, 0, 24);
    g.setColorAt(0, QColor(0xFD, 0xFE, 0xFF));
    g.setColorAt(1, QColor(0xD5, 0xE2, 0xF3));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(img.rect(), QColor(0xF0, 0xF0, 0xF0));
    p.setBrush(g);
    p.setPen(QColor(0x7A, 0x98, 0xC2));
    p.drawRoundedRect(QRectF(0.5, 0.5, 60, 23), 4, 4);
    QFont f(QStringLiteral("Noto Sans CJK SC"));
    f.setPixelSize(12);
    p.setFont(f);
    p.setPen(QColor(0x1F, 0x3A, 0x5F));
    p.drawText(img.rect(), Qt::AlignCenter, label);
    return img;
}

QImage background()
{
    QImage img(915, 651, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 915, 651);
    g.setColorAt(0, QColor(0xF4, 0xF8, 0xFD));
    g.setColorAt(1, QColor(0xC9, 0xDB, 0xF1));
    p.fillRect(img.rect(), g);
    // Stacks of record cards, fading towards the back: the register's earlier states.
    for (int i = 5; i >= 0; --i) {
        const QRectF card(470 + i * 26, 150 + i * 22, 330, 210);
        p.setPen(QColor(0x8F, 0xAE, 0xD6, 200 - i * 25));
        p.setBrush(QColor(255, 255, 255, 230 - i * 30));
        p.drawRoundedRect(card, 10, 10);
        p.setPen(QPen(QColor(0xB7, 0xCB, 0xE6, 220 - i * 30), 3));
        for (int l = 0; l < 5; ++l)
            p.drawLine(QPointF(card.left() + 30, card.top() + 45 + l * 30), QPointF(card.right() - 40 - (l % 2) * 60, card.top() + 45 + l * 30));
    }
    // A clock face: history.
    QRadialGradient rg(QPointF(260, 330), 150);
    rg.setColorAt(0, QColor(255, 255, 255, 240));
    rg.setColorAt(1, QColor(0xDA, 0xE7, 0xF7, 240));
    p.setBrush(rg);
    p.setPen(QPen(QColor(0x2F, 0x5F, 0x9E), 6));
    p.drawEllipse(QPointF(260, 330), 140, 140);
    for (int h = 0; h < 12; ++h) {
        p.save();
        p.translate(260, 330);
        p.rotate(h * 30);
        p.drawLine(QPointF(0, -118), QPointF(0, -132));
        p.restore();
    }
    p.setPen(pen(QColor(0x2F, 0x5F, 0x9E), 8));
    p.drawLine(QPointF(260, 330), QPointF(260, 235));
    p.drawLine(QPointF(260, 330), QPointF(325, 365));
    QFont title(QStringLiteral("Noto Serif CJK SC"));
    title.setPixelSize(46);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0x1F, 0x3A, 0x5F));
    p.drawText(QRectF(0, 40, 915, 70), Qt::AlignCenter, QString::fromUtf8("历史信息维护"));
    QFont sub(QStringLiteral("Noto Sans CJK SC"));
    sub.setPixelSize(18);
    p.setFont(sub);
    p.setPen(QColor(0x46, 0x63, 0x8C));
    p.drawText(QRectF(0, 560, 915, 40), Qt::AlignCenter, QString::fromUtf8("请选择左侧的信息类别，浏览、删除或恢复历史记录"));
    return img;
}

QImage strip(int w, int h, bool vertical)
{
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    if (vertical) {
        QLinearGradient g(0, 0, 0, h);
        g.setColorAt(0, QColor(0xE4, 0xEC, 0xF8));
        g.setColorAt(1, QColor(0xBF, 0xD3, 0xEE));
        p.fillRect(img.rect(), g);
        p.setPen(SideTop);
        p.drawLine(w - 1, 0, w - 1, h);
    } else {
        p.fillRect(img.rect(), StripColor);
        p.setPen(QColor(0xB8, 0xC8, 0xE0));
        p.drawLine(0, h - 1, w, h - 1);
    }
    return img;
}

QImage icon(const Glyph &glyph, const QColor &color, int size = 32)
{
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    glyph(p, QRectF(size / 16.0, size / 16.0, size * 7 / 8.0, size * 7 / 8.0), color);
    return img;
}

struct Toolbar
{
    const char *word;
    Glyph glyph;
    QColor color;
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bmpgen OUTPUT_DIR NAME...\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());
    const QColor blue(0x2F, 0x6D, 0xB5), green(0x2E, 0x8B, 0x57), red(0xC6, 0x28, 0x28), orange(0xE0, 0x8A, 0x1E),
        purple(0x7B, 0x4F, 0xA6), teal(0x1F, 0x8A, 0x8A), pink(0xC2, 0x4A, 0x7D);
    const QList<Toolbar> toolbar{
        {"retrieve", refresh, blue},   {"recoverdata", plus, green}, {"add", plus, green},
        {"batchdel", cross, orange},   {"modify", cross, orange},    {"del", cross, red},
        {"setshow", columns, teal},    {"sorter", columns, teal},    {"query", magnifier, blue},
        {"manage", magnifier, blue},   {"sort", arrows, purple},     {"print", printer, blue},
        {"help", question, green},     {"filter", question, green},  {"close", door, orange},
        {"exit", leave, blue},         {"journal", columns, purple},
        {"stats", chart, blue}};
    auto categoryGlyph = [&](const QString &base, Glyph &g, QColor &c) {
        const QString b = base.toLower();
        if (b == QLatin1String("ge_rpr")) { g = house; c = orange; }
        else if (b == QLatin1String("ge_personinfo")) { g = [](QPainter &p, const QRectF &r, const QColor &col) { person(p, r, col); }; c = blue; }
        else if (b == QLatin1String("sv_elderinfo")) { g = [](QPainter &p, const QRectF &r, const QColor &col) { person(p, r, col); p.setPen(pen(col.darker(150), 2)); p.drawLine(QPointF(r.right() - r.width() * .12, r.top() + r.height() * .4), QPointF(r.right() - r.width() * .2, r.bottom())); }; c = teal; }
        else if (b == QLatin1String("sv_children")) { g = [](QPainter &p, const QRectF &r, const QColor &col) { person(p, r, col, 0.7); }; c = green; }
        else if (b == QLatin1String("mh_adultwomaninfo")) { g = [](QPainter &p, const QRectF &r, const QColor &col) { person(p, r, col, 1.0, true); }; c = pink; }
        else if (b == QLatin1String("sv_oowpersoninfo")) { g = briefcase; c = purple; }
        else { g = heart; c = red; }
    };
    auto dialogLabel = [](const QString &base) {
        const QString b = base.toLower();
        if (b == QLatin1String("cb_ok")) return QString::fromUtf8("确定");
        if (b == QLatin1String("cb_cancel")) return QString::fromUtf8("取消");
        if (b == QLatin1String("cb_close")) return QString::fromUtf8("关闭");
        if (b == QLatin1String("cb_exit")) return QString::fromUtf8("退出");
        if (b == QLatin1String("cb_first")) return QString::fromUtf8("首记录");
        if (b == QLatin1String("cb_prior")) return QString::fromUtf8("上一条");
        if (b == QLatin1String("cb_next")) return QString::fromUtf8("下一条");
        if (b == QLatin1String("cb_last")) return QString::fromUtf8("末记录");
        return base;
    };
    int failures = 0;
    for (int i = 2; i < argc; ++i) {
        const QString name = QString::fromLocal8Bit(argv[i]);
        const QString base = QFileInfo(name).completeBaseName();
        const QString suffix = QFileInfo(name).suffix().toLower();
        QImage img;
        if (base == QLatin1String("vel_history")) {
            img = background();
        } else if (base == QLatin1String("bg")) {
            img = strip(108, 500, true);
        } else if (base.compare(QLatin1String("ToolBarb"), Qt::CaseInsensitive) == 0) {
            img = strip(730, 44, false);
        } else if (base.startsWith(QLatin1String("cb_"), Qt::CaseInsensitive)) {
            img = dialogButton(dialogLabel(base));
        } else if (base.contains(QLatin1Char('_'))) {
            Glyph g;
            QColor c;
            categoryGlyph(base, g, c);
            img = categoryButton(g, c);
        } else if (suffix == QLatin1String("png")) {
            // The desktop's icon of the program: the window icon, large.
            img = icon(house, orange, 64);
        } else if (suffix == QLatin1String("ico")) {
            img = base == QLatin1String("bag") ? icon(house, orange) : icon(magnifier, blue);
        } else {
            const bool disabled = base.endsWith(QLatin1Char('2'));
            const QString word = disabled ? base.chopped(1) : base;
            const Toolbar *t = nullptr;
            for (const Toolbar &candidate : toolbar) {
                if (word == QLatin1String(candidate.word))
                    t = &candidate;
            }
            if (!t) {
                std::fprintf(stderr, "bmpgen: no drawing for %s\n", qPrintable(name));
                ++failures;
                continue;
            }
            img = toolbarButton(t->glyph, t->color, disabled);
        }
        const char *format = suffix == QLatin1String("jpg")   ? "JPG"
                             : suffix == QLatin1String("ico") ? "ICO"
                             : suffix == QLatin1String("png") ? "PNG"
                                                              : "BMP";
        bool saved = img.save(out.filePath(name), format, suffix == QLatin1String("jpg") ? 92 : -1);
        if (!saved && suffix == QLatin1String("ico")) // without an ICO writer the icon is a PNG
            saved = img.save(out.filePath(name), "PNG");
        if (!saved) {
            std::fprintf(stderr, "bmpgen: cannot write %s\n", qPrintable(out.filePath(name)));
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
