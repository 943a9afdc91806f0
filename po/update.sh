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
