#include "host/RegisterTransactions.h"

namespace host {

RegisterTransactions &RegisterTransactions::instance()
{
    static RegisterTransactions transactions;
    return transactions;
}

} // namespace host
