# Fails when one of the files named in LIST (one path a line) includes a Qt
# header; touches STAMP otherwise. Run by the pressory_qt_free target.
#   cmake -DLIST=<file> -DSTAMP=<file> -P check_qt_free.cmake
file(STRINGS "${LIST}" files)
set(found "")
foreach(file IN LISTS files)
  # <QString>, <QtCore/qglobal.h>, "QObject", <qglobal.h>
  file(STRINGS "${file}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q|q[A-Za-z0-9_]*\\.h[>\"])")
  foreach(hit IN LISTS hits)
    string(STRIP "${hit}" hit)
    string(APPEND found "\n  ${file}: ${hit}")
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "A library that must not use Qt includes a Qt header (core and platform files are "
                      "standard C++ and the system's own headers only; windows belong in widgets/, app/ or a "
                      "feature's ui/ folder):${found}")
endif()
file(TOUCH "${STAMP}")
