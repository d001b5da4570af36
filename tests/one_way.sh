#!/bin/bash
# Each job has one home in the source tree. This check fails when a second
# way to do one of them creeps back in: a file written around the writer,
# settings read by key outside the settings module, text sent to the
# terminal around the console helper, a chart built outside the shared
# builder, an operation passed as a bare number.
set -u
src="${1:?the source folder}"
cd "$src" || exit 2
status=0

# $1: what is wrong; $2: a regular expression; the rest: the files allowed to match.
only_in() {
    local what="$1" pattern="$2"
    shift 2
    local hits
    hits=$(grep -rlE --include='*.cpp' --include='*.h' "$pattern" . | sed 's|^\./||' | sort)
    for allowed in "$@"; do
        hits=$(printf '%s\n' "$hits" | grep -vx "$allowed")
    done
    if [ -n "$hits" ]; then
        echo "$what:"
        printf '  %s\n' $hits
        status=1
    fi
}

only_in "QSaveFile outside the file writer" 'QSaveFile' platform/FileWriter.cpp platform/FileWriter.h
only_in "text to the terminal outside the console helper" \
    'toLocal8Bit|std::cout|std::cerr|std::fputs|fprintf\(' cli/Console.cpp
only_in "settings read or written outside the settings module" 'QSettings' platform/Settings.cpp platform/Settings.h
only_in "a chart built outside the one chart builder" 'QBarSeries|QBarSet|QValueAxis|QBarCategoryAxis' \
    history_window/FigureViews.cpp history_window/FigureViews.h
only_in "an operation named outside the operation module" '(QStringLiteral|QLatin1String|tr)\("(plus|minus|mal|Plus|Minus|Mal)"' table/Operation.cpp
exit $status
