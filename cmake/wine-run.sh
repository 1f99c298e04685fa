#!/bin/sh
# The emulator CTest puts before every Windows test program: runs it under the
# given Wine loader, or, where the prefix setup found that this machine cannot
# run that Wine, reports the test as skipped (exit 77) with the reason.
loader="$1"
shift
if [ -n "${DRAVIK_WINE_SKIP_FILE:-}" ] && [ -f "$DRAVIK_WINE_SKIP_FILE" ]; then
    echo "SKIPPED: $(cat "$DRAVIK_WINE_SKIP_FILE")"
    exit 77
fi
exec "$loader" "$@"
