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

# A static library made of every .cpp of a subsystem folder.
function(pelnore_subsystem name)
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  # The program's entry lives beside the run-control code but not in a library.
  list(FILTER _sources EXCLUDE REGEX "/main\\.cpp$")
  if(NOT _sources)
    # A folder whose code has not been written yet still gives a library.
    set(_empty ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${_empty} "")
    set(_sources ${_empty})
  endif()
  add_library(${name} STATIC ${_sources})
  pelnore_program_flags(${name})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()
