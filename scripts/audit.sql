-- The audit trail of a server register: one row in history.hm_audit for every statement that
-- changes a row of a live or history table (and of each register_info), whoever runs it —
-- histmaint, psql, another program —, with the login that did it, its program, its transaction
-- and how many rows it took. histmaint's journal entries carry the same transaction number, so
-- a change that no entry explains stands out in 操作记录.
--
-- Run it as the register's owner; running it again changes nothing but the trigger functions
-- and brings a table added since under the trail:
--   psql -d register -f scripts/audit.sql
-- (scripts/journal-upgrade.sql runs it too, and histmaint makes every new register with it.)
-- Plain SQL only: histmaint runs this very text when it makes a register.

CREATE TABLE IF NOT EXISTS history.hm_audit (
    id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    -- The transaction's time, not the statement's: every row of one change, and its journal
    -- entry, carry the same time, so a range of days takes a change whole or not at all.
    at timestamptz NOT NULL DEFAULT now(),
    -- The login, even inside the owner's functions (current_user there is the owner).
    db_user text NOT NULL DEFAULT session_user,
    application_name text DEFAULT current_setting('application_name'),
    txid bigint NOT NULL DEFAULT txid_current(),
    table_name text NOT NULL,  -- schema.table
    operation text NOT NULL,   -- INSERT, UPDATE, DELETE, TRUNCATE
    row_count bigint NOT NULL);
CREATE INDEX IF NOT EXISTS hm_audit_txid ON history.hm_audit (txid);
CREATE INDEX IF NOT EXISTS hm_audit_at ON history.hm_audit (at);
-- Written only by the triggers below (the owner's functions); nobody else changes a row.
REVOKE ALL ON history.hm_audit FROM PUBLIC;

-- One row per statement, counted from the statement's own transition table. A statement that
-- changed nothing leaves no row.
CREATE OR REPLACE FUNCTION history.hm_audit_rows() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER
    SET search_path = pg_catalog, pg_temp AS $$
DECLARE n bigint;
BEGIN
  SELECT count(*) INTO n FROM hm_rows;
  IF n > 0 THEN
    INSERT INTO history.hm_audit (table_name, operation, row_count) VALUES (TG_TABLE_SCHEMA || '.' || TG_TABLE_NAME, TG_OP, n);
  END IF;
  RETURN NULL;
END $$;

-- TRUNCATE has no transition table: the rows are counted before they go.
CREATE OR REPLACE FUNCTION history.hm_audit_truncate() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER
    SET search_path = pg_catalog, pg_temp AS $$
DECLARE n bigint;
BEGIN
  EXECUTE format('SELECT count(*) FROM %I.%I', TG_TABLE_SCHEMA, TG_TABLE_NAME) INTO n;
  IF n > 0 THEN
    INSERT INTO history.hm_audit (table_name, operation, row_count) VALUES (TG_TABLE_SCHEMA || '.' || TG_TABLE_NAME, TG_OP, n);
  END IF;
  RETURN NULL;
END $$;
REVOKE ALL ON FUNCTION history.hm_audit_rows(), history.hm_audit_truncate() FROM PUBLIC;

-- Every table of the two schemas but the journal (appended to only through
-- history.hm_journal_add) and the trail itself.
DO $$
DECLARE r record;
BEGIN
  -- A first run finds no trigger to replace: no notice for each.
  PERFORM set_config('client_min_messages', 'warning', true);
  FOR r IN SELECT n.nspname, c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace
           WHERE n.nspname IN ('live', 'history') AND c.relkind IN ('r', 'p')
             AND c.relname NOT IN ('hm_audit', 'hm_journal') ORDER BY 1, 2
  LOOP
    EXECUTE format('DROP TRIGGER IF EXISTS hm_audit_insert ON %I.%I', r.nspname, r.relname);
    EXECUTE format('DROP TRIGGER IF EXISTS hm_audit_update ON %I.%I', r.nspname, r.relname);
    EXECUTE format('DROP TRIGGER IF EXISTS hm_audit_delete ON %I.%I', r.nspname, r.relname);
    EXECUTE format('DROP TRIGGER IF EXISTS hm_audit_truncate ON %I.%I', r.nspname, r.relname);
    EXECUTE format('CREATE TRIGGER hm_audit_insert AFTER INSERT ON %I.%I REFERENCING NEW TABLE AS hm_rows '
                   'FOR EACH STATEMENT EXECUTE FUNCTION history.hm_audit_rows()', r.nspname, r.relname);
    EXECUTE format('CREATE TRIGGER hm_audit_update AFTER UPDATE ON %I.%I REFERENCING NEW TABLE AS hm_rows '
                   'FOR EACH STATEMENT EXECUTE FUNCTION history.hm_audit_rows()', r.nspname, r.relname);
    EXECUTE format('CREATE TRIGGER hm_audit_delete AFTER DELETE ON %I.%I REFERENCING OLD TABLE AS hm_rows '
                   'FOR EACH STATEMENT EXECUTE FUNCTION history.hm_audit_rows()', r.nspname, r.relname);
    EXECUTE format('CREATE TRIGGER hm_audit_truncate BEFORE TRUNCATE ON %I.%I '
                   'FOR EACH STATEMENT EXECUTE FUNCTION history.hm_audit_truncate()', r.nspname, r.relname);
  END LOOP;
END $$;
