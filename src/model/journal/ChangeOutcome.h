#pragma once

#include <QString>

namespace model {

// What a change of the register came to, as the register itself says after any failure: the
// windows turn it into words. Saved: the change holds (its journal entry is there). NotSaved:
// nothing of it is there, and a 失败 entry says so. Unknown: the register could not be read to
// find out; no entry was written.
struct ChangeOutcome
{
    enum class State { Saved, NotSaved, Unknown };

    State state = State::NotSaved;
    // A failure's reason as the journal keeps it: the database's, else the step's own.
    QString why;
    // The line on another operator's lock or on the lost connection, taken from the failed
    // statement before the rollback cleared it: "" or "\r\n" and the line.
    QString hint;
    // Unknown: why the register could not be read.
    QString unreadable;

    bool saved() const { return state == State::Saved; }
    bool unknown() const { return state == State::Unknown; }
    // A failure as the operator reads it: `message`, the hint, and for an unknown outcome the
    // line saying that it is not known, with the reason.
    QString failureText(const QString &message) const;
};

} // namespace model
