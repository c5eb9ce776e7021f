# Copies the text file IN to OUT with CR LF line ends:
#   cmake -D IN=<text file> -D OUT=<copy> -P crlf.cmake
# Lines that already end in CR LF keep a single CR.
if(NOT DEFINED IN OR NOT DEFINED OUT)
  message(FATAL_ERROR "usage: cmake -D IN=<file> -D OUT=<file> -P crlf.cmake")
endif()
file(READ "${IN}" text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}" "${text}")
