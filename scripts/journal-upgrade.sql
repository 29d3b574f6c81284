-- Brings a server register made by an earlier histmaint up to date: the maintenance journal,
-- the token its entries carry (by which a change whose COMMIT went unanswered is found), the
-- login and transaction the server stamps on each entry (history.hm_journal_add), the audit
-- trail (scripts/audit.sql, included at the end), and proc_JustifyDelPerson passing over copies
-- of replaced live states (issave 4). Run it as the register's owner from the folder that holds
-- audit.sql too, then scripts/operator-role.sql again for each operator role:
--   psql -d register -f scripts/journal-upgrade.sql
-- Running it again changes nothing. histmaint runs the same text when it makes a register.
CREATE TABLE IF NOT EXISTS history.hm_journal (id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    at timestamp(6) NOT NULL DEFAULT localtimestamp, operator varchar(64) NOT NULL DEFAULT current_user,
    login varchar(64), action varchar(20) NOT NULL, category varchar(40), reckey varchar(40),
    counts varchar(2000), outcome varchar(10) NOT NULL, detail varchar(2000), token varchar(40));
ALTER TABLE history.hm_journal ADD COLUMN IF NOT EXISTS token varchar(40);
CREATE INDEX IF NOT EXISTS hm_journal_token ON history.hm_journal (token);
-- Entries written by history.hm_journal_add carry these; an older entry has none of them. A
-- transaction is known by its number and its start together: numbers start again from low
-- values in a cluster a dump is restored into, and its new transactions must not be taken for
-- the old ones of the journal and the audit trail.
ALTER TABLE history.hm_journal ADD COLUMN IF NOT EXISTS db_user varchar(64);
ALTER TABLE history.hm_journal ADD COLUMN IF NOT EXISTS txid bigint;
ALTER TABLE history.hm_journal ADD COLUMN IF NOT EXISTS txat timestamptz;
CREATE INDEX IF NOT EXISTS hm_journal_txid ON history.hm_journal (txid);
REVOKE ALL ON history.hm_journal FROM PUBLIC;

-- The one way an operator adds an entry. Its time is read in the zone the register was set up
-- in (TimeZone FROM CURRENT), not the caller's: a session's own zone would shift it.
-- The number, the time (the transaction's, as the
-- change's audit rows have it), the login (operator and db_user: session_user, the role that
-- logged in, whatever role it has set) and the transaction are the server's; the rest is what
-- the program says of the change. The owner's right to insert is lent for this insert alone.
CREATE OR REPLACE FUNCTION history.hm_journal_add(p_login text, p_action text, p_category text, p_reckey text,
    p_counts text, p_outcome text, p_detail text, p_token text) RETURNS bigint
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp SET TimeZone FROM CURRENT AS $$
DECLARE v_id bigint;
BEGIN
  INSERT INTO history.hm_journal (at, operator, db_user, txid, txat, login, action, category, reckey, counts, outcome, detail, token)
  VALUES (localtimestamp, session_user, session_user, txid_current(), now(), p_login, p_action, p_category, p_reckey, p_counts,
          p_outcome, p_detail, p_token)
  RETURNING id INTO v_id;
  RETURN v_id;
END $$;
REVOKE ALL ON FUNCTION history.hm_journal_add(text, text, text, text, text, text, text, text) FROM PUBLIC;

-- A related record's recovery brings a removed person back from the latest snapshot, which is
-- never a copy of a replaced live state.
CREATE OR REPLACE FUNCTION live.proc_justifydelperson(as_personno varchar DEFAULT NULL) RETURNS integer LANGUAGE plpgsql AS $$
DECLARE v_hisid bigint; v_issave varchar;
BEGIN
  SELECT hisid, issave INTO v_hisid, v_issave FROM history.th_ge_personinfo WHERE personno = as_personno
    AND (issave IS NULL OR issave <> '4') ORDER BY savetime DESC, hisid DESC LIMIT 1;
  IF NOT FOUND OR v_issave IS NULL OR trim(v_issave) <> '6' THEN RETURN 0; END IF;
  IF EXISTS (SELECT 1 FROM live.ge_personinfo WHERE personno = as_personno) THEN RETURN 0; END IF;
  INSERT INTO live.ge_personinfo (personno, rprno, personname, sex, birthday, idcard, relation, nation, education, marriage, politics, birthplace, issave) SELECT personno, rprno, personname, sex, birthday, idcard, relation, nation, education, marriage, politics, birthplace, '0' FROM history.th_ge_personinfo WHERE hisid = v_hisid;
  RETURN 0;
END $$;

\ir audit.sql
