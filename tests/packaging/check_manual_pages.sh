#!/usr/bin/env bash
# Every option a program names in its own --help must be in its manual page (and, for the two companions, in
# their manual under docs/), and --version must answer with the project's version.
#   check_manual_pages.sh BINDIR MANDIR DOCSDIR VERSION
set -u
bindir=$1 mandir=$2 docsdir=$3 version=$4
failed=0

# The option names in a text: "--name" or "-x" standing alone (not inside a word or a longer option).
options_in() {
  grep -oE '(^|[][ ,|(])(--[a-z][a-z0-9-]*|-[a-zA-Z])\b' | grep -oE -- '-[-a-zA-Z0-9]+' | sort -u
}

mentions() {  # FILE OPTION
  sed 's/\\-/-/g' "$1" | grep -qE -- "(^|[^-a-zA-Z0-9])$2([^a-zA-Z0-9-]|$)"
}

for program in arvelo arvelo-stat arvelo-export arvelo-demo-server; do
  help=$("$bindir/$program" --help) || { echo "$program --help failed"; failed=1; continue; }
  opts=$(printf '%s\n' "$help" | options_in)
  [ -n "$opts" ] || { echo "$program --help names no option"; failed=1; }
  docs=("$mandir/$program.1")
  [ -f "$docsdir/$program.md" ] && docs+=("$docsdir/$program.md")
  for doc in "${docs[@]}"; do
    for opt in $opts; do
      mentions "$doc" "$opt" || { echo "$program: $opt is missing from $doc"; failed=1; }
    done
  done
  got=$("$bindir/$program" --version) || { echo "$program --version failed"; failed=1; continue; }
  case "$got" in
    *"$version"*) ;;
    *) echo "$program --version says '$got', not $version"; failed=1 ;;
  esac
done
exit $failed
