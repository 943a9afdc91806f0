# The window's sources and lupdate's options, shared by po/update.sh and
# the check of the window's translations.
MORVO_LUPDATE=${MORVO_LUPDATE:-/usr/lib/qt6/bin/lupdate}
MORVO_LUPDATE_OPTIONS=(-silent -locations none -no-obsolete -tr-function-alias translate+=WideText)
morvo_window_sources() {
  git ls-files -- 'app/forms/*.cpp' 'app/forms/*.h' 'params/forms/*.cpp' 'params/forms/*.h' \
    'widgets/*.cpp' 'widgets/*.h' 'platform/qt/*.cpp' 'platform/qt/*.h'
}
