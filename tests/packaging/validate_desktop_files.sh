#!/usr/bin/env bash
# The menu entry and the AppStream data pass their validators; skipped (77) where the validators are missing.
#   validate_desktop_files.sh DESKTOP_FILE METAINFO_FILE
set -u
command -v desktop-file-validate >/dev/null && command -v appstreamcli >/dev/null || {
  echo "desktop-file-validate or appstreamcli is missing (bash dev.sh setup installs them)"; exit 77; }
failed=0
desktop-file-validate "$1" || failed=1
# --no-net: the screenshot's address is not fetched, so the test needs no network.
appstreamcli validate --no-net "$2" || failed=1
exit $failed
