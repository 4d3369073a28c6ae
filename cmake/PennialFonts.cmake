# The brand fonts: the fixed-weight files of Debian's fonts-sora and fonts-inter are copied into the
# build tree and embedded in the program under ":/fonts/<Family>/". A file that is not installed is
# left out; the program then falls back to the ordinary sans-serif face for that family.
set(PENNIAL_FONTS_DIR "/usr/share/fonts/opentype" CACHE PATH "Where the brand font files are installed")
set(PENNIAL_FONT_FILES
  sora/Sora-Regular.otf sora/Sora-Bold.otf
  inter/Inter-Regular.otf inter/Inter-Medium.otf inter/Inter-SemiBold.otf)

# pennial_embed_fonts(target): embeds the installed brand font files in target's resources.
function(pennial_embed_fonts target)
  set(copied)
  foreach(file IN LISTS PENNIAL_FONT_FILES)
    set(source "${PENNIAL_FONTS_DIR}/${file}")
    get_filename_component(name "${file}" NAME)
    string(REGEX REPLACE "-.*" "" family "${name}")
    set(destination "${PROJECT_BINARY_DIR}/resources/fonts/${family}/${name}")
    if(EXISTS "${source}")
      configure_file("${source}" "${destination}" COPYONLY)
      list(APPEND copied "${destination}")
    else()
      message(STATUS "Font ${source} not found: the ${family} family falls back")
    endif()
  endforeach()
  if(copied)
    qt_add_resources(${target} pennial_fonts PREFIX "/fonts"
      BASE "${PROJECT_BINARY_DIR}/resources/fonts" FILES ${copied})
  endif()
endfunction()
