#!/bin/sh
# SPDX-License-Identifier: MIT
# help-to-man.sh PROGRAM DESCRIPTION DATE OUT.1.gz
# Turns PROGRAM's --help into a German manual page. The help texts keep one layout: the first
# line "Aufruf: …", then description paragraphs, then sections whose heading ends in ":" with
# entries "  TERM  description" (continued on deeper-indented lines). A heading is a short
# line; a longer one ending in ":" is text.
set -eu
program=$1 description=$2 date=$3 out=$4
name=$(basename "$program")
version=$("$program" --version | head -n 1 | sed 's/^[^ ]* //')
help=$("$program" --help)
mkdir -p "$(dirname "$out")"
tmp="$out.tmp"

printf '%s\n' "$help" | awk -v name="$name" -v version="$version" -v date="$date" \
  -v description="$description" '
function esc(text,    out, i, c, prev) {
  gsub(/\\/, "\\e", text)
  out = ""; prev = " "
  for (i = 1; i <= length(text); i++) {
    c = substr(text, i, 1)
    # A dash that starts a word is an option: a real minus, so it can be copied.
    if (c == "-" && (prev == " " || prev == "-" || prev == "[" || prev == "|")) c = "\\-"
    out = out c; prev = substr(text, i, 1)
  }
  first = substr(out, 1, 1)
  if (first == "." || first == "\047") out = "\\&" out
  return out
}
function heading(title) { print ".SH " toupper(title) }
BEGIN {
  print ".\\\" -*- coding: UTF-8 -*-"
  print ".\\\" Generated from " name " --help; edit the program, not this page."
  print ".TH " toupper(name) " 1 \"" date "\" \"" name " " version "\" \"ZEPA Control\""
  heading("Bezeichnung")
  print esc(name) " \\- " esc(description)
  state = "start"
}
state == "start" && /^Aufruf: / {
  heading("Übersicht")
  print esc(substr($0, 9))
  state = "synopsis"; next
}
/^$/ { blank = 1; next }
/^[^ ].*:$/ && length($0) < 40 { heading(substr($0, 1, length($0) - 1)); state = "section"; blank = 0; next }
/^  [^ ]/ && state == "section" {
  line = substr($0, 3)
  split_at = index(line, "  ")
  if (split_at > 0) {
    print ".TP"
    print "\\fB" esc(substr(line, 1, split_at - 1)) "\\fR"
    rest = substr(line, split_at); sub(/^ +/, "", rest)
    print esc(rest)
  } else {
    print ".TP"
    print "\\fB" esc(line) "\\fR"
  }
  blank = 0; next
}
/^    / && state == "section" { line = $0; sub(/^ +/, "", line); print esc(line); next }
{
  if (state == "synopsis") { heading("Beschreibung"); state = "description" }
  else if (blank) print ".PP"
  blank = 0
  line = $0; sub(/^ +/, "", line)
  print esc(line)
}
END {
  heading("Siehe auch")
  split("zepa-control zepactl zepa-keymap zepa-sim", programs, " ")
  seen = ""
  for (i = 1; i <= 4; i++) {
    if (programs[i] == name) continue
    seen = seen (seen == "" ? "" : ", ") "\\fB" esc(programs[i]) "\\fR(1)"
  }
  print seen
}' > "$tmp"
gzip -9 -n -c "$tmp" > "$out"
rm -f "$tmp"
