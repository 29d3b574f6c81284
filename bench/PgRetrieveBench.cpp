// pg_retrieve: Retrieve of the largest history table from a PostgreSQL register ÷ a raw libpq
// loop (single-row mode) reading every value of the same select, in the same run.
//
//   hm_bench_pg CONNINFO     (a register made with histmaint --create-demo-pg)
#include "host/HostDwLibrary.h"
#include "host/RegisterDatabases.h"
#include "platform/core/Transaction.h"
#include "platform/dw/DataStore.h"
#include "platform/dw/DwLibrary.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <libpq-fe.h>

namespace {

using Clock = std::chrono::steady_clock;

double rawLoop(const char *conninfo, const QByteArray &select, long &rows)
{
    PGconn *conn = PQconnectdb(conninfo);
    PQexec(conn, "SET search_path TO history");
    const auto start = Clock::now();
    PQsendQuery(conn, select.constData());
    PQsetSingleRowMode(conn);
    std::uint64_t sink = 0;
    rows = 0;
    while (PGresult *r = PQgetResult(conn)) {
        if (PQresultStatus(r) == PGRES_SINGLE_TUPLE) {
            for (int c = 0; c < PQnfields(r); ++c) {
                if (!PQgetisnull(r, 0, c))
                    sink += std::uint64_t(PQgetlength(r, 0, c)) + std::uint64_t(PQgetvalue(r, 0, c)[0]);
            }
            ++rows;
        }
        PQclear(r);
    }
    const double t = std::chrono::duration<double>(Clock::now() - start).count();
    PQfinish(conn);
    std::fprintf(stderr, "(checksum %llu)\n", static_cast<unsigned long long>(sink));
    return t;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: hm_bench_pg CONNINFO\n");
        return 2;
    }
    rt::Transaction sqlca(QStringLiteral("sqlca")), photosqlca(QStringLiteral("photosqlca"));
    QString error;
    rt::DwLibrary library;
    if (host::RegisterDatabases::connectServer(QString::fromLocal8Bit(argv[1]), sqlca, photosqlca, error) != 0
        || !host::HostDwLibrary::load(library, QString(), error)) {
        std::fprintf(stderr, "hm_bench_pg: %s\n", qPrintable(error));
        return 1;
    }
    rt::DataStore ds;
    ds.SetDataObject(QStringLiteral("dh_ge_personinfo"), &library);
    ds.SetTransObject(&photosqlca);
    const QByteArray select = ds.GetSQLSelect().toLower().toUtf8();
    double raw = 1e100, engine = 1e100;
    long rawRows = 0;
    for (int i = 0; i < 3; ++i) {
        raw = std::min(raw, rawLoop(argv[1], select, rawRows));
        ds.Reset();
        const auto a = Clock::now();
        ds.Retrieve();
        engine = std::min(engine, std::chrono::duration<double>(Clock::now() - a).count());
    }
    std::printf("table: history.th_ge_personinfo, %ld rows (engine %ld)\n", rawRows, ds.RowCount());
    std::printf("pg_retrieve: ratio=%.2f goal=1.0  engine=%.4g s  limit=%.4g s\n", engine / raw, engine, raw);
    return 0;
}
