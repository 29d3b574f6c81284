#pragma once

namespace rt {
class Transaction;
}

namespace host {

// The register's stored procedures, written for the embedded database. Each runs inside the
// caller's transaction, returns 0 or -1 with a text, and leaves COMMIT/ROLLBACK to the caller.
class HostProcedures
{
public:
    // proc_delrpr(@s_rprno), proc_delperson(@s_personno), proc_DelRprScope(@pi_flag, @pd_start,
    // @pd_end): on the history connection.
    static void registerHistoryProcedures(rt::Transaction &photosqlca);
    // proc_JustifyDelPerson(@as_personno): on the live connection, which reaches the history
    // tables through its attached file.
    static void registerLiveProcedures(rt::Transaction &sqlca);
};

} // namespace host
