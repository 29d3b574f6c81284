#include "model/journal/JournalledChange.h"

#include "host/LockHint.h"
#include "platform/core/Transaction.h"

namespace model {

QString ChangeOutcome::failureText(const QString &message) const
{
    QString text = message + hint;
    if (state == State::Unknown)
        text += QStringLiteral("\r\n") + host::LockHint::unknownText() + (unreadable.isEmpty() ? QString() : QStringLiteral("\r\n") + unreadable);
    return text;
}

JournalledChange::JournalledChange(rt::Transaction &t, model::Journal::Entry entry) : m_t(t), m_entry(std::move(entry))
{
}

JournalledChange::~JournalledChange()
{
    if (!m_ended && m_t.inTransaction())
        m_t.rollback();
}

int JournalledChange::beginCounted()
{
    return model::Journal::beginCounted(m_t);
}

const ChangeOutcome &JournalledChange::commit(const QString &fallback)
{
    if (m_ended)
        return m_outcome;
    // The entry goes in last, in the change's own transaction: without it the change does not
    // happen, and with it the change can always be found again by its token.
    // The fallback is the caller's bare message: the failed COMMIT's hint goes with it.
    if (model::Journal::append(m_t, m_entry) != 0 || m_t.commit() != 0)
        return fail(fallback.isEmpty() ? fallback : host::LockHint::add(fallback, m_t, true));
    m_ended = true;
    m_outcome = ChangeOutcome{ChangeOutcome::State::Saved, {}, {}, {}};
    return m_outcome;
}

const ChangeOutcome &JournalledChange::fail(const QString &fallback)
{
    if (m_ended)
        return m_outcome;
    QString why = m_t.SQLCode() == -1 ? m_t.SQLErrText().trimmed() : QString();
    if (why.isEmpty())
        why = QString(fallback).replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    return settle(why);
}

const ChangeOutcome &JournalledChange::stop(const QString &reason)
{
    if (m_ended)
        return m_outcome;
    return settle(reason);
}

void JournalledChange::abandon()
{
    if (m_ended)
        return;
    if (m_t.inTransaction())
        m_t.rollback();
    m_ended = true;
    m_outcome = ChangeOutcome{ChangeOutcome::State::NotSaved, {}, {}, {}};
}

const ChangeOutcome &JournalledChange::settle(const QString &why)
{
    m_ended = true;
    m_outcome = ChangeOutcome{ChangeOutcome::State::NotSaved, why, host::LockHint::add(QString(), m_t, true), {}};
    // What the register holds is read before anything is said about it: a COMMIT whose answer
    // was lost may have held.
    switch (model::Journal::settle(m_t, m_entry, m_outcome.unreadable)) {
    case model::Journal::Outcome::Saved:
        m_outcome.state = ChangeOutcome::State::Saved;
        break;
    case model::Journal::Outcome::Unknown:
        m_outcome.state = ChangeOutcome::State::Unknown;
        break;
    case model::Journal::Outcome::NotSaved:
        model::Journal::appendFailure(m_t, m_entry, why);
        break;
    }
    return m_outcome;
}

} // namespace model
