# Compiler settings shared by every target of the project.

# Single precision with exact expected values: never contract a*b+c into an FMA.
add_compile_options(-Wall -Wextra -ffp-contract=off)
if(VESKADOR_WERROR)
  add_compile_options(-Werror)
endif()

# Lean debug info keeps the sanitizer build and its links fast.
set(CMAKE_CXX_FLAGS_DEBUG "-g1 -O1" CACHE STRING "" FORCE)
set(CMAKE_C_FLAGS_DEBUG "-g1 -O1" CACHE STRING "" FORCE)

if(VESKADOR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(VESKADOR_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "VESKADOR_FUZZ needs clang (CXX=clang++)")
  endif()
  # Undefined behaviour stops a fuzz run by itself, as an out-of-bounds read does.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Every library sees the source root, so includes read "streamio/FileStream.h".
include_directories(${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)

# Precompiled headers: the Qt, standard library and GoogleTest headers that most files
# include, parsed once per target instead of once per file. CI turns them on; a build
# without them (the default) shows a missing include at once.
option(VESKADOR_PCH "Precompile the common Qt, standard and GoogleTest headers" OFF)
set(VESKADOR_PCH_CORE <QString> <QByteArray> <QStringList> <QDir> <QFile> <cstdint> <cstring>
    <algorithm> <functional> <map> <memory> <mutex> <string> <vector>)
set(VESKADOR_PCH_WIDGETS ${VESKADOR_PCH_CORE} <QApplication> <QDialog> <QImage> <QPainter>
    <QWidget>)
# Folders whose libraries hold screens; the others get the QtCore headers only.
set(VESKADOR_WIDGET_FOLDERS platform/gui grid controls seriesview devicefiles export app)

# vesk_precompile(<target> <WIDGETS|CORE> [TESTS])
function(vesk_precompile target level)
  if(NOT VESKADOR_PCH)
    return()
  endif()
  set(headers ${VESKADOR_PCH_${level}})
  if(ARGN STREQUAL "TESTS")
    list(APPEND headers <gtest/gtest.h> <gmock/gmock.h>)
  endif()
  target_precompile_headers(${target} PRIVATE ${headers})
endfunction()

# vesk_library(<name> SOURCES <files...> DEPS <targets...>)
# A static library of one folder; while a folder has no sources yet it is an interface
# library, so its link line already holds.
function(vesk_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  if(ARG_SOURCES)
    add_library(${name} STATIC ${ARG_SOURCES})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    if(folder IN_LIST VESKADOR_WIDGET_FOLDERS)
      vesk_precompile(${name} WIDGETS)
    else()
      vesk_precompile(${name} CORE)
    endif()
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()
