#!/usr/bin/python3
"""The test mail relay (tests/peers/smtp_relay.py, same arguments) without
aiosmtpd's 1001-byte line limit, so that over-long lines passed through the
mail proxy arrive and can be compared byte for byte."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import smtp_relay  # noqa: E402  (re-executes under the system python when needed)
from aiosmtpd.smtp import SMTP  # noqa: E402

SMTP.line_length_limit = 1 << 20

if __name__ == "__main__":
    sys.exit(smtp_relay.main())
