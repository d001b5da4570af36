-- Rechenkov's record for a whole school, on the school's own PostgreSQL
-- server. Run it once as a database owner or superuser, in the database
-- the computers are to use:
--
--   createdb rechenkov
--   psql -d rechenkov -v ON_ERROR_STOP=1 -f /usr/share/rechenkov/schule.sql
--
-- It creates the schema `rechenkov`, its tables and indexes, and two group
-- roles without login. Every computer gets a login role of its own in
-- rechenkov_kind (the sessions of one role can read each other's statements,
-- the sent names and answers included, in pg_stat_activity); for a room of
-- 25 computers, as a role with CREATEROLE or a superuser:
--
--   SELECT * FROM rechenkov.raum_anlegen('raum12', 25);
--
-- Every teacher gets one in rechenkov_lehrer:
--
--   CREATE ROLE frau_meier LOGIN PASSWORD '...' IN ROLE rechenkov_lehrer;
--
-- Running it again keeps every row and account; it sets the two roles'
-- rights anew (teachers of an earlier version lose DELETE on the tables).

\set ON_ERROR_STOP on
BEGIN;

CREATE SCHEMA IF NOT EXISTS rechenkov;

-- Which version of these tables the database holds; later versions of this
-- script add their upgrade steps below and a row here.
CREATE TABLE IF NOT EXISTS rechenkov.schema_version (
    version integer PRIMARY KEY,
    eingespielt timestamptz NOT NULL DEFAULT now()
);
INSERT INTO rechenkov.schema_version (version) VALUES (1) ON CONFLICT DO NOTHING;

-- Every checked answer of every computer. A row's key is its own identity,
-- a time-ordered random id it was given when it was recorded, so a batch
-- sent twice is stored once, and two copies of one record (a roaming
-- profile, a restored backup) each add their own rows and their shared ones
-- once. The local record's random id and row number stay for the rows of
-- the first version of these tables, which have no identity of their own.
CREATE TABLE IF NOT EXISTS rechenkov.antworten (
    quelle      uuid        NOT NULL,
    lokale_id   bigint      NOT NULL,
    rechner     text        NOT NULL,
    klasse      text        NOT NULL,
    kind        text        NOT NULL,
    zeit        timestamptz NOT NULL,
    rechenart   smallint    NOT NULL, -- 1 plus, 2 minus, 3 times
    reihe       text        NOT NULL,
    zeile       smallint    NOT NULL,
    erwartet    text        NOT NULL,
    eingegeben  text        NOT NULL,
    richtig     boolean     NOT NULL,
    ms          integer     NOT NULL,
    eingegangen timestamptz NOT NULL DEFAULT now(),
    uid         uuid        CONSTRAINT antworten_uid_key UNIQUE
);

-- Every finished reward game.
CREATE TABLE IF NOT EXISTS rechenkov.spiele (
    quelle      uuid        NOT NULL,
    lokale_id   bigint      NOT NULL,
    rechner     text        NOT NULL,
    klasse      text        NOT NULL,
    kind        text        NOT NULL,
    zeit        timestamptz NOT NULL,
    sekunden    integer     NOT NULL,
    eingegangen timestamptz NOT NULL DEFAULT now(),
    uid         uuid        CONSTRAINT spiele_uid_key UNIQUE
);

-- Version 2 over tables of version 1: every row gets the column for its
-- identity; the rows already there keep theirs (none) and stay unique by
-- record and row number, as rows sent by a computer not yet updated do.
ALTER TABLE rechenkov.antworten ADD COLUMN IF NOT EXISTS uid uuid;
ALTER TABLE rechenkov.spiele ADD COLUMN IF NOT EXISTS uid uuid;
ALTER TABLE rechenkov.antworten DROP CONSTRAINT IF EXISTS antworten_pkey;
ALTER TABLE rechenkov.spiele DROP CONSTRAINT IF EXISTS spiele_pkey;
DO $$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_constraint WHERE conname = 'antworten_uid_key'
                   AND conrelid = 'rechenkov.antworten'::regclass) THEN
        ALTER TABLE rechenkov.antworten ADD CONSTRAINT antworten_uid_key UNIQUE (uid);
    END IF;
    IF NOT EXISTS (SELECT FROM pg_constraint WHERE conname = 'spiele_uid_key'
                   AND conrelid = 'rechenkov.spiele'::regclass) THEN
        ALTER TABLE rechenkov.spiele ADD CONSTRAINT spiele_uid_key UNIQUE (uid);
    END IF;
END
$$;
CREATE UNIQUE INDEX IF NOT EXISTS antworten_quelle_lokale_id
    ON rechenkov.antworten (quelle, lokale_id) WHERE uid IS NULL;
CREATE UNIQUE INDEX IF NOT EXISTS spiele_quelle_lokale_id
    ON rechenkov.spiele (quelle, lokale_id) WHERE uid IS NULL;
INSERT INTO rechenkov.schema_version (version) VALUES (2) ON CONFLICT DO NOTHING;

-- The teacher's window asks for one class over a period (the table, the
-- chart, the class's weak rows) and for one child of a class. The included
-- columns let the server answer from the index alone.
CREATE INDEX IF NOT EXISTS antworten_klasse_zeit
    ON rechenkov.antworten (klasse, zeit) INCLUDE (kind, rechenart, reihe, richtig, ms);
CREATE INDEX IF NOT EXISTS antworten_klasse_kind_zeit
    ON rechenkov.antworten (klasse, kind, zeit) INCLUDE (rechenart, reihe, richtig, ms);
CREATE INDEX IF NOT EXISTS spiele_klasse_kind_zeit
    ON rechenkov.spiele (klasse, kind, zeit) INCLUDE (sekunden);

-- The computers may only add rows: a child's account can neither read the
-- other children's records nor change or wipe them.
DO $$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'rechenkov_kind') THEN
        CREATE ROLE rechenkov_kind NOLOGIN;
    END IF;
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'rechenkov_lehrer') THEN
        CREATE ROLE rechenkov_lehrer NOLOGIN;
    END IF;
END
$$;

-- A teacher deletes one child's rows of one class (when a family asks for
-- it) through this function alone: the teachers' role holds no DELETE on
-- the tables, so it can neither empty them nor lock them against the
-- computers' sending. Returns the number of rows deleted.
CREATE OR REPLACE FUNCTION rechenkov.kind_loeschen(klasse_ text, kind_ text)
    RETURNS bigint
    LANGUAGE plpgsql SECURITY DEFINER
    SET search_path = pg_catalog, pg_temp
AS $$
DECLARE
    antworten_ bigint;
    spiele_ bigint;
BEGIN
    DELETE FROM rechenkov.antworten WHERE klasse = klasse_ AND kind = kind_;
    GET DIAGNOSTICS antworten_ = ROW_COUNT;
    DELETE FROM rechenkov.spiele WHERE klasse = klasse_ AND kind = kind_;
    GET DIAGNOSTICS spiele_ = ROW_COUNT;
    RETURN antworten_ + spiele_;
END
$$;

-- The accounts of a room: raum_01 ... raum_NN, each a login role in
-- rechenkov_kind with a random password, listed once. An account that is
-- already there keeps its password (kennwort stays empty), so running it
-- again for a grown room only adds the new computers.
CREATE OR REPLACE FUNCTION rechenkov.raum_anlegen(raum text, anzahl integer)
    RETURNS TABLE (konto text, kennwort text)
    LANGUAGE plpgsql
    SET search_path = pg_catalog, pg_temp
AS $$
BEGIN
    IF raum IS NULL OR raum !~ '^[a-z][a-z0-9_]{0,50}$' THEN
        RAISE EXCEPTION 'Der Name des Raums darf nur Kleinbuchstaben, Ziffern und _ enthalten: %', raum;
    END IF;
    IF anzahl IS NULL OR anzahl NOT BETWEEN 1 AND 999 THEN
        RAISE EXCEPTION 'Die Zahl der Rechner muss zwischen 1 und 999 liegen: %', anzahl;
    END IF;
    FOR i IN 1 .. anzahl LOOP
        konto := raum || '_' || lpad(i::text, greatest(2, length(anzahl::text)), '0');
        kennwort := NULL;
        IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = konto) THEN
            kennwort := replace(gen_random_uuid()::text, '-', '');
            EXECUTE format('CREATE ROLE %I LOGIN PASSWORD %L IN ROLE rechenkov_kind', konto, kennwort);
        END IF;
        RETURN NEXT;
    END LOOP;
END
$$;

REVOKE ALL ON SCHEMA rechenkov FROM PUBLIC;
REVOKE ALL ON ALL TABLES IN SCHEMA rechenkov FROM PUBLIC;
REVOKE ALL ON ALL FUNCTIONS IN SCHEMA rechenkov FROM PUBLIC;
-- Earlier versions let teachers delete in the tables themselves.
REVOKE ALL ON ALL TABLES IN SCHEMA rechenkov FROM rechenkov_kind, rechenkov_lehrer;
GRANT USAGE ON SCHEMA rechenkov TO rechenkov_kind, rechenkov_lehrer;
GRANT SELECT ON rechenkov.schema_version TO rechenkov_kind, rechenkov_lehrer;
GRANT INSERT ON rechenkov.antworten, rechenkov.spiele TO rechenkov_kind;
GRANT SELECT ON rechenkov.antworten, rechenkov.spiele TO rechenkov_lehrer;
GRANT EXECUTE ON FUNCTION rechenkov.kind_loeschen(text, text) TO rechenkov_lehrer;

COMMIT;
