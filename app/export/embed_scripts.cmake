# Writes OUTPUT: each file of INPUTS (names separated by |) as a C++ raw string literal
# followed by a comma, for app/export/page.cpp to put into the pages it makes.
string(REPLACE "|" ";" INPUTS "${INPUTS}")
set(text "")
foreach(input IN LISTS INPUTS)
  file(READ "${input}" content)
  string(FIND "${content}" ")tesselin_js\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${input} holds the literal's delimiter")
  endif()
  string(APPEND text "R\"tesselin_js(${content})tesselin_js\",\n")
endforeach()
file(WRITE "${OUTPUT}.new" "${text}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
