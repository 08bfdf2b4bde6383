# The second resource bundle: logo, fonts, images and the compiled catalogues, served from the
# executable. Paths inside the bundle are the paths in this repository. The artwork and fonts
# are made by tools/artwork/make_artwork.py and committed; the build never runs it.
qt_add_resources(zolven_ui zolven_assets
    PREFIX /
    BASE ${CMAKE_SOURCE_DIR}
    FILES
        ${CMAKE_SOURCE_DIR}/logo/logo.png
        ${CMAKE_SOURCE_DIR}/logo/tray.png
        ${CMAKE_SOURCE_DIR}/static/assets/font/SourceHanSansOLD-Heavy-2.otf
        ${CMAKE_SOURCE_DIR}/static/assets/font/SourceHanSansOLD-Medium-2.otf
        ${CMAKE_SOURCE_DIR}/static/assets/font/Aemstel-LineInside.ttf
        ${CMAKE_SOURCE_DIR}/static/assets/icon/bg_arrow.png
        ${CMAKE_SOURCE_DIR}/static/assets/icon/icon_close_n.png
        ${CMAKE_SOURCE_DIR}/static/assets/icon/icon_close_n@2x.png
        ${CMAKE_SOURCE_DIR}/static/assets/icon/icon_close_h.png
        ${CMAKE_SOURCE_DIR}/static/assets/icon/icon_close_h@2x.png
        ${CMAKE_SOURCE_DIR}/static/assets/icon/icon_close_p.png
        ${CMAKE_SOURCE_DIR}/static/assets/icon/icon_close_p@2x.png
        ${CMAKE_SOURCE_DIR}/static/assets/icon/icon_indi_n.png
        ${CMAKE_SOURCE_DIR}/static/assets/icon/icon_indi_n@2x.png
        ${CMAKE_SOURCE_DIR}/static/assets/icon/icon_indi_h.png
        ${CMAKE_SOURCE_DIR}/static/assets/icon/icon_indi_h@2x.png
        ${CMAKE_SOURCE_DIR}/static/assets/icon/icon_indi_p.png
        ${CMAKE_SOURCE_DIR}/static/assets/icon/icon_indi_p@2x.png
)

# The catalogues are compiled by lrelease at build time into :/i18n/i18n/<name>.qm. lupdate is
# never part of the build: the .ts sources come from tools/artwork/make_catalogues.py and hold
# exactly the context "main" and, for screen readers, the context "access".
qt_add_translations(zolven_ui
    TS_FILES
        ${CMAKE_SOURCE_DIR}/i18n/i18n/zh_CN.ts
        ${CMAKE_SOURCE_DIR}/i18n/i18n/ct_CN.ts
        ${CMAKE_SOURCE_DIR}/i18n/i18n/en_US.ts
    RESOURCE_PREFIX /i18n/i18n
    LRELEASE_OPTIONS -silent
)

if(WIN32)
    # windres, unlike rc.exe, does not look beside the .rc file for the icon and manifest.
    set_source_files_properties(${CMAKE_SOURCE_DIR}/app/win/ZOLVEN.rc
        TARGET_DIRECTORY ZOLVEN
        PROPERTIES INCLUDE_DIRECTORIES ${CMAKE_SOURCE_DIR}/app/win)
endif()
