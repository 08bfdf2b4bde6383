# The second resource bundle: logo, fonts, images and the compiled catalogues. Paths inside the
# bundle are the paths in this repository.
qt_add_resources(zolven_ui zolven_assets
    PREFIX /
    FILES
        logo/logo.png
)
