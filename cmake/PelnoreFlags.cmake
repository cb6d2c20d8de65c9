# Compiler settings of the program and its tests. Sources are UTF-8; narrow
# literals become code page 932 bytes, as the "A" functions expect them.
if(MSVC)
  set(PELNORE_CHARSET_FLAGS /source-charset:utf-8 /execution-charset:.932)
  set(PELNORE_WARNING_FLAGS /W4)
  set(PELNORE_RC_FLAGS /c65001)
else()
  set(PELNORE_CHARSET_FLAGS -finput-charset=UTF-8 -fexec-charset=CP932)
  set(PELNORE_WARNING_FLAGS -Wall -Wextra)
  set(PELNORE_RC_FLAGS -c 65001)
  # No libgcc, libstdc++ or winpthread DLL at run time.
  set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -static -static-libgcc -static-libstdc++")
  set(CMAKE_SHARED_LINKER_FLAGS "${CMAKE_SHARED_LINKER_FLAGS} -static -static-libgcc -static-libstdc++")
endif()
string(REPLACE ";" " " _rc "${PELNORE_RC_FLAGS}")
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} ${_rc}")

add_compile_definitions(WINVER=0x0501 _WIN32_WINNT=0x0501 _WIN32_IE=0x0600)

# Program code: no exceptions, no RTTI, warnings on.
function(pelnore_program_flags target)
  target_compile_options(${target} PRIVATE ${PELNORE_CHARSET_FLAGS} ${PELNORE_WARNING_FLAGS}
    $<$<AND:$<COMPILE_LANGUAGE:CXX>,$<NOT:$<CXX_COMPILER_ID:MSVC>>>:-fno-exceptions -fno-rtti>)
endfunction()

# pelnore_subsystem(name SOURCES a.cpp ... LIBS lib ...): the static library
# of one subsystem folder. LIBS name only folders below it (and system
# libraries): util at the bottom, then TOOLS, about, assoc for the windows,
# extract above util alone, app on top.
function(pelnore_subsystem name)
  cmake_parse_arguments(S "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${S_SOURCES})
  pelnore_program_flags(${name})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${S_LIBS})
endfunction()
