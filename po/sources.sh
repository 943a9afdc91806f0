# The sources whose texts a user reads through the catalog, and how
# xgettext finds the texts in them (sourced by update.sh and the test).
MORVO_XGETTEXT_OPTIONS=(--from-code=UTF-8 --language=C++ -k -kTr -kTrNoop --no-location
                        --sort-output --package-name=morvo --msgid-bugs-address=morvo)
morvo_message_sources() {
  { find infra engine app cli params -maxdepth 1 -name '*.cpp'; echo params/uEncodeParam.h; } |
    LC_ALL=C sort
}
