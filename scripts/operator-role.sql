-- The rights an operator of histmaint needs on a register database, and no more. What the
-- program does as an operator, and so all that is granted:
--   reads every table of both schemas (register_info, the journal and the audit trail among
--   them) and changes none of those three;
--   live tables: inserts (a recovered record) and updates (a record replaced, the row held
--   while it is copied), never deletes;
--   history tables: deletes (deletions, recoveries taking the row out) and inserts (a replaced
--   live state kept as history), never updates;
--   calls the four procedures and history.hm_journal_add, which alone writes journal entries.
-- New rows are numbered by identity columns, which need no right on their sequences. Whatever
-- the role had before is taken away first, so this can be run again at any time (after every
-- upgrade script). Run it as the register's owner, naming the database and the (existing)
-- login role:
--   psql -d register -v dbname=register -v role=clerk -f scripts/operator-role.sql
REVOKE ALL ON DATABASE :"dbname" FROM PUBLIC;
GRANT CONNECT ON DATABASE :"dbname" TO :"role";
REVOKE CREATE ON SCHEMA public FROM PUBLIC;
REVOKE ALL ON SCHEMA live, history FROM PUBLIC;
REVOKE ALL ON SCHEMA live, history FROM :"role";
GRANT USAGE ON SCHEMA live, history TO :"role";

REVOKE ALL ON ALL TABLES IN SCHEMA live, history FROM PUBLIC, :"role";
REVOKE ALL ON ALL SEQUENCES IN SCHEMA live, history FROM PUBLIC, :"role";
REVOKE ALL ON ALL FUNCTIONS IN SCHEMA live, history FROM PUBLIC, :"role";

GRANT SELECT ON ALL TABLES IN SCHEMA live, history TO :"role";
GRANT INSERT, UPDATE ON live.ge_rpr, live.ge_personinfo, live.ge_personotherinfo, live.ge_company,
    live.ge_foreignorregistry, live.sv_mlpfamilyinfo, live.sv_oowpersoninfo, live.sv_elderinfo, live.sv_children,
    live.mh_adultwomaninfo TO :"role";
GRANT INSERT, DELETE ON history.th_ge_rpr, history.th_ge_personinfo, history.th_ge_personotherinfo, history.th_ge_company,
    history.th_ge_foreignorregistry, history.th_sv_mlpfamilyinfo, history.th_sv_oowpersoninfo, history.th_sv_elderinfo,
    history.th_sv_children, history.th_mh_adultwomaninfo TO :"role";
GRANT EXECUTE ON FUNCTION history.proc_delrpr(varchar), history.proc_delperson(varchar),
    history.proc_delrprscope(integer, timestamp, timestamp), live.proc_justifydelperson(varchar),
    history.hm_journal_add(text, text, text, text, text, text, text, text) TO :"role";
