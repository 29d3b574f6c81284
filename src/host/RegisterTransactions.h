#pragma once

#include "platform/core/Transaction.h"

namespace host {

// The program's two transaction objects: sqlca (the live register; on the files with the history
// file attached) and photosqlca (the history). Made on first use, they live as long as the
// program. The host's globals (host::g()) hand them to the windows; the domain never reaches
// for them: its engines take the transactions they work on as arguments.
class RegisterTransactions
{
public:
    static RegisterTransactions &instance();

    rt::Transaction sqlca{QStringLiteral("sqlca")};
    rt::Transaction photosqlca{QStringLiteral("photosqlca")};

private:
    RegisterTransactions() = default;
};

} // namespace host
