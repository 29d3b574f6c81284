-- The rights an operator of histmaint needs on a register database, and no more: reading and
-- changing the rows of the two schemas (the journal only appended to), numbering new rows, and
-- the four procedures. Run it as
-- the register's owner, naming the database and the (existing) login role:
--   psql -d register -v dbname=register -v role=clerk -f scripts/operator-role.sql
REVOKE ALL ON DATABASE :"dbname" FROM PUBLIC;
GRANT CONNECT ON DATABASE :"dbname" TO :"role";
REVOKE ALL ON SCHEMA live, history FROM PUBLIC;
GRANT USAGE ON SCHEMA live, history TO :"role";
GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA live, history TO :"role";
GRANT USAGE ON ALL SEQUENCES IN SCHEMA live, history TO :"role";
-- The maintenance journal is only ever appended to and read, and its number, time and operator
-- are the server's: an operator inserts the other columns only.
REVOKE INSERT, UPDATE, DELETE, TRUNCATE ON history.hm_journal FROM :"role";
GRANT INSERT (login, action, category, reckey, counts, outcome, detail, token) ON history.hm_journal TO :"role";
REVOKE EXECUTE ON ALL FUNCTIONS IN SCHEMA live, history FROM PUBLIC;
GRANT EXECUTE ON FUNCTION history.proc_delrpr(varchar), history.proc_delperson(varchar),
    history.proc_delrprscope(integer, timestamp, timestamp), live.proc_justifydelperson(varchar) TO :"role";
