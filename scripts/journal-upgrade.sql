-- Adds the maintenance journal to a server register made before it. Run it once as the
-- register's owner, then scripts/operator-role.sql again for each operator role:
--   psql -d register -f scripts/journal-upgrade.sql
CREATE TABLE IF NOT EXISTS history.hm_journal (id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    at timestamp(6) NOT NULL DEFAULT localtimestamp, operator varchar(64) NOT NULL DEFAULT current_user,
    login varchar(64), action varchar(20) NOT NULL, category varchar(40), reckey varchar(40),
    counts varchar(2000), outcome varchar(10) NOT NULL, detail varchar(2000));
