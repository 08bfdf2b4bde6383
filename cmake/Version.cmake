# The version is written once, in project(VERSION), and the release date once, here; every
# other file that shows them is made from these at configure time: the programs get
# ZOLVEN_VERSION as a compile definition (the window's footer shows it), dist/ makes the
# metainfo, the manual pages and the package's changelog.
set(ZOLVEN_RELEASE_DATE 2026-12-09)

# Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's days_from_civil).
function(_zolven_days_from_civil out year month day)
    if(month LESS_EQUAL 2)
        math(EXPR year "${year} - 1")
    endif()
    math(EXPR era "${year} / 400")
    math(EXPR yoe "${year} - ${era} * 400")
    if(month GREATER 2)
        math(EXPR mp "${month} - 3")
    else()
        math(EXPR mp "${month} + 9")
    endif()
    math(EXPR doy "(153 * ${mp} + 2) / 5 + ${day} - 1")
    math(EXPR doe "${yoe} * 365 + ${yoe} / 4 - ${yoe} / 100 + ${doy}")
    math(EXPR days "${era} * 146097 + ${doe} - 719468")
    set(${out} ${days} PARENT_SCOPE)
endfunction()

# The date as Debian's changelog writes it (RFC 5322, midday UTC).
string(REGEX MATCH "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$" _zolven_date
    "${ZOLVEN_RELEASE_DATE}")
if(NOT _zolven_date)
    message(FATAL_ERROR "ZOLVEN_RELEASE_DATE must be YYYY-MM-DD, not ${ZOLVEN_RELEASE_DATE}")
endif()
math(EXPR _zolven_month "${CMAKE_MATCH_2}")
math(EXPR _zolven_day "${CMAKE_MATCH_3}")
_zolven_days_from_civil(_zolven_days ${CMAKE_MATCH_1} ${_zolven_month} ${_zolven_day})
math(EXPR _zolven_weekday "(${_zolven_days} + 4) % 7")
set(_zolven_weekdays Sun Mon Tue Wed Thu Fri Sat)
set(_zolven_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
math(EXPR _zolven_month_index "${_zolven_month} - 1")
list(GET _zolven_weekdays ${_zolven_weekday} _zolven_wd)
list(GET _zolven_months ${_zolven_month_index} _zolven_mon)
set(ZOLVEN_RELEASE_DATE_RFC5322
    "${_zolven_wd}, ${CMAKE_MATCH_3} ${_zolven_mon} ${CMAKE_MATCH_1} 12:00:00 +0000")
