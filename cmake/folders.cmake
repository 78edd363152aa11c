# One static library per source folder. A library sees the headers of its own
# folder and of the folders it depends on, and nothing else: its include path is
# a view holding only those folders, so an include against the direction of the
# dependencies fails to build.

define_property(GLOBAL PROPERTY NF_VISIBLE_FOLDERS BRIEF_DOCS "folders a folder's code may include"
                FULL_DOCS "the folder itself and, transitively, the folders it depends on")

# Makes a directory of links to the given source folders and puts it on the
# target's include path.
function(nf_include_view target)
  set(view ${CMAKE_BINARY_DIR}/include-views/${target})
  file(REMOVE_RECURSE ${view})
  file(MAKE_DIRECTORY ${view})
  foreach(folder ${ARGN})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${view}/${folder} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PRIVATE ${view})
endfunction()

# nf_folder_library(<folder> [NAME <name>] SOURCES ... [WIN32_SOURCES ...]
#                   [POSIX_SOURCES ...] [ELSEWHERE ...] [DEPENDS <name> ...] [SYSTEM_LIBS ...])
# Builds nf_<name> (the folder's name unless NAME gives another) from the
# sources named. win32_*.cpp forward to the Windows API and are built for
# Windows only; posix_*.cpp stand in for them natively. ELSEWHERE names sources
# of the folder that other targets build. Configuring fails on a source of the
# folder that no list names.
function(nf_folder_library folder)
  cmake_parse_arguments(ARG "" "NAME" "SOURCES;WIN32_SOURCES;POSIX_SOURCES;ELSEWHERE;DEPENDS;SYSTEM_LIBS" ${ARGN})
  set(name ${folder})
  if(ARG_NAME)
    set(name ${ARG_NAME})
  endif()
  file(GLOB present RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  set(named ${ARG_SOURCES} ${ARG_WIN32_SOURCES} ${ARG_POSIX_SOURCES} ${ARG_ELSEWHERE})
  foreach(source ${present})
    if(NOT source IN_LIST named)
      message(FATAL_ERROR "${folder}/${source} is not named in ${folder}/CMakeLists.txt")
    endif()
  endforeach()

  set(sources ${ARG_SOURCES})
  if(WIN32)
    list(APPEND sources ${ARG_WIN32_SOURCES})
  else()
    list(APPEND sources ${ARG_POSIX_SOURCES})
  endif()
  add_library(nf_${name} STATIC ${sources})

  set(visible ${folder})
  foreach(dependency ${ARG_DEPENDS})
    target_link_libraries(nf_${name} PUBLIC nf_${dependency})
    get_property(inherited GLOBAL PROPERTY NF_VISIBLE_FOLDERS_${dependency})
    list(APPEND visible ${inherited})
  endforeach()
  list(REMOVE_DUPLICATES visible)
  set_property(GLOBAL PROPERTY NF_VISIBLE_FOLDERS_${name} ${visible})
  nf_include_view(nf_${name} ${visible})
  if(WIN32 AND ARG_SYSTEM_LIBS)
    target_link_libraries(nf_${name} PUBLIC ${ARG_SYSTEM_LIBS})
  endif()
endfunction()
