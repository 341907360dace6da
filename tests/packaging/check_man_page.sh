#!/bin/sh
# Fails when groff has anything to say about the man page: every warning enabled.
# Usage: check_man_page.sh GROFF PAGE
groff=$1 page=$2
warnings=$("$groff" -man -ww -z "$page" 2>&1) || { echo "$warnings"; exit 1; }
if [ -n "$warnings" ]; then
  echo "$warnings"
  exit 1
fi
