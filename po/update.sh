#!/bin/bash
# Rewrites po/morvo.pot from the sources and merges it into each
# language's file; then translate the new or fuzzy entries of <lang>.po.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=po/sources.sh
source po/sources.sh
xgettext "${MORVO_XGETTEXT_OPTIONS[@]}" -o po/morvo.pot $(morvo_message_sources)
for po in po/*.po; do
  msgmerge --quiet --update --backup=none --no-location --sort-output "$po" po/morvo.pot
done
# The window's Qt translations: new texts arrive unfinished in each
# po/morvo-window_<lang>.ts; translate them there.
# shellcheck source=po/window-sources.sh
source po/window-sources.sh
"$MORVO_LUPDATE" "${MORVO_LUPDATE_OPTIONS[@]}" $(morvo_window_sources) -ts po/morvo-window_*.ts
