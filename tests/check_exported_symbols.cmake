# Fails when LIBRARY exports a symbol that none of the installed headers
# (HEADERS, a |-separated list) declares. Every name of a symbol's qualified
# name (namespaces, classes, the function or variable) must appear as a word
# in those headers; instantiations in namespace std are the standard
# library's and are passed over.
#   cmake -DLIBRARY=lib.so -DHEADERS=a.h|b.h -DNM=nm -P check_exported_symbols.cmake
cmake_policy(VERSION 3.25)
execute_process(COMMAND ${NM} -D --defined-only -C ${LIBRARY}
  OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} could not list the dynamic symbols of ${LIBRARY}")
endif()

string(REPLACE "|" ";" HEADERS "${HEADERS}")
set(text "")
foreach(header ${HEADERS})
  file(READ ${header} content)
  string(APPEND text "${content}\n")
endforeach()
string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*" words "${text}")
list(REMOVE_DUPLICATES words)

string(REPLACE ";" "\\;" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
set(undeclared "")
set(checked 0)
foreach(line ${lines})
  if(NOT line MATCHES "^[0-9a-fA-F]* [A-Za-z] (.*)$")
    continue()
  endif()
  set(name "${CMAKE_MATCH_1}")
  string(REGEX REPLACE "^(typeinfo name for|typeinfo for|vtable for|VTT for|guard variable for|non-virtual thunk to|virtual thunk to) " "" name "${name}")
  # Template arguments, innermost first, then the parameter list and a
  # return type.
  while(name MATCHES "<[^<>]*>")
    string(REGEX REPLACE "<[^<>]*>" "" name "${name}")
  endwhile()
  string(REPLACE "[abi:cxx11]" "" name "${name}")
  string(REGEX REPLACE "\\(.*$" "" name "${name}")
  string(REGEX REPLACE "^.* " "" name "${name}")
  # The sanitizers add their own symbols (ODR indicators, for one) to an
  # instrumented library.
  if(name MATCHES "^(std|__gnu_cxx|__cxxabiv1)::" OR name MATCHES "^(_init|_fini|_edata|_end|__bss_start)$"
     OR name MATCHES "^__(odr_asan|asan|ubsan|sancov)")
    continue()
  endif()
  math(EXPR checked "${checked} + 1")
  string(REPLACE "::" ";" parts "${name}")
  foreach(part ${parts})
    string(REGEX REPLACE "^~" "" part "${part}")
    if(part MATCHES "^operator")
      set(part operator)
    endif()
    if(NOT part IN_LIST words)
      list(APPEND undeclared "${name}")
      break()
    endif()
  endforeach()
endforeach()

if(undeclared)
  list(REMOVE_DUPLICATES undeclared)
  list(JOIN undeclared ", " shown)
  message(FATAL_ERROR "${LIBRARY} exports symbols that no installed header declares: ${shown}")
endif()
if(checked EQUAL 0)
  message(FATAL_ERROR "${LIBRARY} exports no symbol of its own: the listing is not what was expected")
endif()
message(STATUS "${LIBRARY}: ${checked} exported symbols, all declared in installed headers")
