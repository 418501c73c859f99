#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# Runs a test program the way a screen reader's session runs the program: on an X server of its
# own, with an AT-SPI accessibility bus, where Qt switches its accessibility on and sends its
# change events.
#
# usage: atspi_session.sh PROGRAM [ARGUMENTS...]
source "$(dirname "$0")/e2e_harness.sh"
need_commands xvfb Xvfb
with_own_bus "$@"
start_xvfb
# As if a screen reader had asked for it.
QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$@"
