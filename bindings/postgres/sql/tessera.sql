-- tessera.sql -- the extension's answers on the worked examples, for make installcheck
CREATE EXTENSION tessera;
-- Outside the search path, as most users have it: messages qualify the names.
SET search_path = public;
SELECT tessera.check_card('4111111111111111') AS visa,
       tessera.check_card('4111111111111112') AS bad_checksum,
       tessera.check_card('34000000000000') AS no_brand,
       tessera.check_number('') AS empty_text,
       tessera.check_card(NULL) IS NULL AS null_gives_null;
SELECT tessera.card_brand('378282246310005') AS brand,
       tessera.card_brand('4111111111111') AS thirteen,
       tessera.mask_card('4111 1111 1111 1111') AS masked;
SELECT tessera.check_gpa_no('12345678970-7506154-0909309-0') AS worked,
       tessera.check_gpa_no('12345678970-7506154-0909309-5') AS changed,
       tessera.check_gpa_no_expired('12345678970-7506154-0909309-0', date '2009-09-30') AS expiry_day,
       tessera.check_gpa_no_expired('12345678970-7506154-0909309-0', date '2009-10-01') AS day_after,
       tessera.gpa_age('12345678970-7506154-0909309-0', day => date '2004-06-01') AS age;
SELECT '4111111111111111'::tessera.card_number AS accepted;
SELECT '4111111111111112'::tessera.card_number;
SELECT tessera.gpa_age('12345678970-7506154-0909309-0', date 'infinity');
