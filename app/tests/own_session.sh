#!/usr/bin/env bash
# Runs a Windows test program on an X display and a Wine server of its own
# (e2e_own_session), for a test whose windows must keep the activation while
# other tests run beside it.
#
#   own_session.sh DIR PROGRAM.exe ARGS...
set -u
dir=$1
shift
. "$(dirname "$0")/e2e_common.sh"
e2e_own_session "$dir"
"$WX_WINE_RUN" "$@"
status=$?
exit $status
