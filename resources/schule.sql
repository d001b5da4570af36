-- Rechenkov's record for a whole school, on the school's own PostgreSQL
-- server. Run it once as a database owner or superuser, in the database
-- the computers are to use:
--
--   createdb rechenkov
--   psql -d rechenkov -v ON_ERROR_STOP=1 -f /usr/share/rechenkov/schule.sql
--
-- It creates the schema `rechenkov`, its tables and indexes, and two group
-- roles without login. Give every computer (or every child's account) a
-- login role in rechenkov_kind and every teacher one in rechenkov_lehrer:
--
--   CREATE ROLE rechner_3b LOGIN PASSWORD '...' IN ROLE rechenkov_kind;
--   CREATE ROLE frau_meier LOGIN PASSWORD '...' IN ROLE rechenkov_lehrer;
--
-- Running it again changes nothing that is already there.

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

-- Every checked answer of every computer. A row's key is the local record
-- it comes from (a random id kept beside that record) and its row number
-- there, so a batch sent twice is stored once.
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
    PRIMARY KEY (quelle, lokale_id)
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
    PRIMARY KEY (quelle, lokale_id)
);

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

REVOKE ALL ON SCHEMA rechenkov FROM PUBLIC;
REVOKE ALL ON ALL TABLES IN SCHEMA rechenkov FROM PUBLIC;
GRANT USAGE ON SCHEMA rechenkov TO rechenkov_kind, rechenkov_lehrer;
GRANT SELECT ON rechenkov.schema_version TO rechenkov_kind, rechenkov_lehrer;
GRANT INSERT ON rechenkov.antworten, rechenkov.spiele TO rechenkov_kind;
-- Teachers read everything and may delete a child's rows (for instance
-- when a family asks for it).
GRANT SELECT, DELETE ON rechenkov.antworten, rechenkov.spiele TO rechenkov_lehrer;

COMMIT;
