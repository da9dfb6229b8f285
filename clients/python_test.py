"""python_test.py -- the tessera module against the built library."""

import sys
import unittest

sys.path.insert(0, sys.argv.pop(1))
import tessera  # noqa: E402


class Answers(unittest.TestCase):
    def test_raw_functions_answer_like_visual_basic(self):
        self.assertEqual(tessera.CheckCard(b"4111111111111111"), -1)
        self.assertEqual(tessera.CheckCard(b"4111111111111"), 0)
        self.assertEqual(tessera.CheckNumber(None), -1)

    def test_wrappers_answer_bool(self):
        self.assertIs(tessera.check_card("4111111111111111"), True)
        self.assertIs(tessera.is_amex("378282246310005"), True)
        self.assertIs(tessera.is_visa("378282246310005"), False)
        self.assertIs(tessera.check_gpa_no("12345678970-7506154-0909309-0"), True)
        self.assertIs(tessera.check_gpa_no_expired("12345678970-7506154-0909309-0"), False)

    def test_age_is_zero_for_a_wrong_check_digit(self):
        self.assertEqual(tessera.gpa_age("12345678970-7506154-0909309-5"), 0)

    def test_text_is_passed_byte_for_byte(self):
        self.assertIs(tessera.check_number("4111 1111 1111 1111"), False)
        self.assertIs(tessera.check_number("\xff4111111111111111"), True)


if __name__ == "__main__":
    unittest.main()
