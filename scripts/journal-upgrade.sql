-- Brings a server register made by an earlier histmaint up to date: the maintenance journal,
-- the token its entries carry (by which a change whose COMMIT went unanswered is found), and
-- proc_JustifyDelPerson passing over copies of replaced live states (issave 4). Run it once as
-- the register's owner, then scripts/operator-role.sql again for each operator role:
--   psql -d register -f scripts/journal-upgrade.sql
CREATE TABLE IF NOT EXISTS history.hm_journal (id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    at timestamp(6) NOT NULL DEFAULT localtimestamp, operator varchar(64) NOT NULL DEFAULT current_user,
    login varchar(64), action varchar(20) NOT NULL, category varchar(40), reckey varchar(40),
    counts varchar(2000), outcome varchar(10) NOT NULL, detail varchar(2000), token varchar(40));
ALTER TABLE history.hm_journal ADD COLUMN IF NOT EXISTS token varchar(40);
CREATE INDEX IF NOT EXISTS hm_journal_token ON history.hm_journal (token);
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
