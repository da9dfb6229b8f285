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

-- The answers of the functions without a day depend on the text alone:
-- usable in CHECK constraints, domains, index expressions and parallel plans.
-- The day defaults to current_date, the date in the connection's TimeZone,
-- so those with a day are STABLE: the same within one statement. NULL gives NULL.
-- Made from frame/operations.h (functions): the tessera_bindings target writes it.
CREATE FUNCTION @extschema@.is_amex(text) RETURNS boolean
  AS 'MODULE_PATHNAME', 'tessera_is_amex' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION @extschema@.is_amex(text) IS
  'true when the number has the length and first characters of American Express';
CREATE FUNCTION @extschema@.is_dc(text) RETURNS boolean
  AS 'MODULE_PATHNAME', 'tessera_is_dc' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION @extschema@.is_dc(text) IS
  'true when the number has the length and first characters of Diners Club';
CREATE FUNCTION @extschema@.is_disc(text) RETURNS boolean
  AS 'MODULE_PATHNAME', 'tessera_is_disc' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION @extschema@.is_disc(text) IS
  'true when the number has the length and first characters of Discover';
CREATE FUNCTION @extschema@.is_jcb(text) RETURNS boolean
  AS 'MODULE_PATHNAME', 'tessera_is_jcb' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION @extschema@.is_jcb(text) IS
  'true when the number has the length and first characters of JCB';
CREATE FUNCTION @extschema@.is_mc(text) RETURNS boolean
  AS 'MODULE_PATHNAME', 'tessera_is_mc' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION @extschema@.is_mc(text) IS
  'true when the number has the length and first characters of MasterCard';
CREATE FUNCTION @extschema@.is_visa(text) RETURNS boolean
  AS 'MODULE_PATHNAME', 'tessera_is_visa' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION @extschema@.is_visa(text) IS
  'true when the number has the length and first characters of Visa';
CREATE FUNCTION @extschema@.check_organization(text) RETURNS boolean
  AS 'MODULE_PATHNAME', 'tessera_check_organization' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION @extschema@.check_organization(text) IS
  'true when the number has the length and first characters of any of the six card brands';
CREATE FUNCTION @extschema@.check_number(text) RETURNS boolean
  AS 'MODULE_PATHNAME', 'tessera_check_number' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION @extschema@.check_number(text) IS
  'true when the number passes the Luhn (mod 10) checksum; characters that are not digits count '
  '0 but keep their place, so the empty text passes';
CREATE FUNCTION @extschema@.check_card(text) RETURNS boolean
  AS 'MODULE_PATHNAME', 'tessera_check_card' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION @extschema@.check_card(text) IS
  'true when the number is a valid card number: it has a known brand and passes the Luhn checksum';
CREATE FUNCTION @extschema@.check_gpa_no(text) RETURNS boolean
  AS 'MODULE_PATHNAME', 'tessera_check_gpa_no' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION @extschema@.check_gpa_no(text) IS
  'true when the number is a GPA number: its layout and its four 7-3-1 check digits are right';
CREATE FUNCTION @extschema@.check_gpa_no_expired(number text, day date DEFAULT current_date) RETURNS boolean
  AS 'MODULE_PATHNAME', 'tessera_check_gpa_no_expired' LANGUAGE C STABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION @extschema@.check_gpa_no_expired(text, date) IS
  'true when the number is a GPA number that has NOT expired on the day, the expiry day included '
  '(yes means still valid, despite the name)';
CREATE FUNCTION @extschema@.gpa_age(number text, day date DEFAULT current_date) RETURNS integer
  AS 'MODULE_PATHNAME', 'tessera_gpa_age' LANGUAGE C STABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION @extschema@.gpa_age(text, date) IS
  'the holder''s age in years on the day, from the two-digit years alone (1 to 100), 0 when '
  'the number is not a GPA number';
CREATE FUNCTION @extschema@.card_brand(text) RETURNS text
  AS 'MODULE_PATHNAME', 'tessera_card_brand' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION @extschema@.card_brand(text) IS
  'the card brand whose length and first characters the number has, NULL for none';
CREATE FUNCTION @extschema@.mask_card(text) RETURNS text
  AS 'MODULE_PATHNAME', 'tessera_mask_card' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION @extschema@.mask_card(text) IS
  'the number as it may be shown to people: every digit but the first six and the last four '
  'hidden as "*", every other character where it was';
-- End of the part made from frame/operations.h (functions).

CREATE DOMAIN @extschema@.card_number AS text CHECK (@extschema@.check_card(VALUE));
CREATE DOMAIN @extschema@.gpa_number AS text CHECK (@extschema@.check_gpa_no(VALUE));
COMMENT ON DOMAIN @extschema@.card_number IS 'text that tessera.check_card accepts';
COMMENT ON DOMAIN @extschema@.gpa_number IS 'text that tessera.check_gpa_no accepts';
