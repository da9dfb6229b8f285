-- tessera--1.1.0.sql -- the checks as functions in the schema tessera, and two domains

\echo Use "CREATE EXTENSION tessera" to load this file. \quit

-- CREATE EXTENSION makes the schema tessera, or takes the one that exists.
-- One made beforehand by another role, or holding objects besides the
-- extension's, could hold functions that calls such as check_card(varchar)
-- or a statement prepared with varchar parameters resolve to instead of
-- these: refuse it. @extowner@ is the role running CREATE EXTENSION, also
-- when a trusted install runs this script as the bootstrap superuser.
DO $guard$
DECLARE
  schema_owner regrole := (SELECT nspowner FROM pg_namespace WHERE oid = '@extschema@'::regnamespace);
  objects bigint := (SELECT count(*) FROM pg_depend WHERE refclassid = 'pg_namespace'::regclass
                       AND refobjid = '@extschema@'::regnamespace AND classid <> 'pg_extension'::regclass);
BEGIN
  IF schema_owner <> '@extowner@'::regrole THEN
    RAISE EXCEPTION 'schema % already exists and is owned by role %, not by %, who is creating the extension',
      '@extschema@'::regnamespace, schema_owner, '@extowner@'::regrole
      USING ERRCODE = 'duplicate_schema',
            HINT = 'Find out who made it and what it holds; then drop it, or hand it to the installing role '
                   'with ALTER SCHEMA ... OWNER TO, and run CREATE EXTENSION tessera again.';
  END IF;
  IF objects > 0 THEN
    RAISE EXCEPTION 'schema % already holds objects that are not the extension''s (% in all)',
      '@extschema@'::regnamespace, objects
      USING ERRCODE = 'duplicate_schema',
            HINT = 'They could stand in for the extension''s functions: move or drop them, '
                   'then run CREATE EXTENSION tessera again.';
  END IF;
END
$guard$;

-- Each answer depends on the text alone: usable in CHECK constraints,
-- domains, index expressions and parallel plans. NULL gives NULL.
CREATE FUNCTION @extschema@.is_amex(text) RETURNS boolean
  AS 'MODULE_PATHNAME', 'tessera_is_amex' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
CREATE FUNCTION @extschema@.is_dc(text) RETURNS boolean
  AS 'MODULE_PATHNAME', 'tessera_is_dc' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
CREATE FUNCTION @extschema@.is_disc(text) RETURNS boolean
  AS 'MODULE_PATHNAME', 'tessera_is_disc' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
CREATE FUNCTION @extschema@.is_jcb(text) RETURNS boolean
  AS 'MODULE_PATHNAME', 'tessera_is_jcb' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
CREATE FUNCTION @extschema@.is_mc(text) RETURNS boolean
  AS 'MODULE_PATHNAME', 'tessera_is_mc' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
CREATE FUNCTION @extschema@.is_visa(text) RETURNS boolean
  AS 'MODULE_PATHNAME', 'tessera_is_visa' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
CREATE FUNCTION @extschema@.check_organization(text) RETURNS boolean
  AS 'MODULE_PATHNAME', 'tessera_check_organization' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
CREATE FUNCTION @extschema@.check_number(text) RETURNS boolean
  AS 'MODULE_PATHNAME', 'tessera_check_number' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
CREATE FUNCTION @extschema@.check_card(text) RETURNS boolean
  AS 'MODULE_PATHNAME', 'tessera_check_card' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
CREATE FUNCTION @extschema@.card_brand(text) RETURNS text
  AS 'MODULE_PATHNAME', 'tessera_card_brand' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
CREATE FUNCTION @extschema@.mask_card(text) RETURNS text
  AS 'MODULE_PATHNAME', 'tessera_mask_card' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
CREATE FUNCTION @extschema@.check_gpa_no(text) RETURNS boolean
  AS 'MODULE_PATHNAME', 'tessera_check_gpa_no' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

-- The day defaults to current_date, the date in the connection's TimeZone,
-- so these are STABLE: the same within one statement.
CREATE FUNCTION @extschema@.check_gpa_no_expired(number text, day date DEFAULT current_date) RETURNS boolean
  AS 'MODULE_PATHNAME', 'tessera_check_gpa_no_expired' LANGUAGE C STABLE STRICT PARALLEL SAFE;
CREATE FUNCTION @extschema@.gpa_age(number text, day date DEFAULT current_date) RETURNS integer
  AS 'MODULE_PATHNAME', 'tessera_gpa_age' LANGUAGE C STABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION @extschema@.check_card(text) IS 'a known card brand that passes the Luhn checksum';
COMMENT ON FUNCTION @extschema@.check_number(text) IS 'passes the Luhn (mod 10) checksum; true for the empty text';
COMMENT ON FUNCTION @extschema@.check_organization(text) IS 'the length and leading digits of one of the six brands';
COMMENT ON FUNCTION @extschema@.card_brand(text) IS 'the brand''s name, NULL for none';
COMMENT ON FUNCTION @extschema@.mask_card(text) IS 'every digit but the first six and last four shown as *';
COMMENT ON FUNCTION @extschema@.check_gpa_no(text) IS 'a 29-character GPA number with its four check digits right';
COMMENT ON FUNCTION @extschema@.check_gpa_no_expired(text, date) IS
  'true while the document is still valid on the day (not expired), false when expired or not a GPA number';
COMMENT ON FUNCTION @extschema@.gpa_age(text, date) IS
  'the holder''s age in years from the two-digit years alone, 0 when not a GPA number';

CREATE DOMAIN @extschema@.card_number AS text CHECK (@extschema@.check_card(VALUE));
CREATE DOMAIN @extschema@.gpa_number AS text CHECK (@extschema@.check_gpa_no(VALUE));
COMMENT ON DOMAIN @extschema@.card_number IS 'text that tessera.check_card accepts';
COMMENT ON DOMAIN @extschema@.gpa_number IS 'text that tessera.check_gpa_no accepts';
