# Writes a header holding the text of a file as one constant: -DIN=file -DOUT=header -DNAME=kName.
file(READ "${IN}" text)
set(delimiter "jarvet_text")
string(FIND "${text}" ")${delimiter}\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${IN} holds the raw string's delimiter")
endif()
file(WRITE "${OUT}.tmp"
     "// Made by cmake/embed-text.cmake from ${IN}; edit that file instead.\n#pragma once\n\n"
     "namespace jarvet {\n\ninline constexpr char ${NAME}[] = R\"${delimiter}(${text})${delimiter}\";\n\n"
     "}  // namespace jarvet\n")
file(RENAME "${OUT}.tmp" "${OUT}")
