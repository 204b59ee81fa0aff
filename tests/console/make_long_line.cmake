# Writes the long-line transcript: a mail header list of 6000 mails on one line of more than
# 100 KiB, and the output expected for it, where every mail's Subject shows up in the Result.
#   cmake -DOUT_DIR=dir -P make_long_line.cmake   (writes long_line.in and long_line.out)
string(ASCII 1 soh)
string(ASCII 2 stx)
string(ASCII 13 cr)
set(crlf "${cr}\n")

set(list "")
set(result "")
foreach(i RANGE 5999)
  string(APPEND list "Subject: ${i}${soh}From: x${stx}")
  if(i GREATER 0)
    string(APPEND result ",")
  endif()
  string(APPEND result "${i}")
endforeach()
string(LENGTH "${list}" list_length)
if(list_length LESS 102400)
  message(FATAL_ERROR "the long line has only ${list_length} bytes")
endif()

set(prompts "template-string: \n\nseparator-string: \n\nref4-string: \n\n")
file(WRITE "${OUT_DIR}/long_line.in" "!Subject!\n,\n${list}\nquit\n")
file(WRITE "${OUT_DIR}/long_line.out"
  "${prompts}request-----------------------\n"
  "EXECUTE SAORI/1.0${crlf}Argument0: !Subject!${crlf}Argument1: ,${crlf}"
  "Argument2: ${list}${crlf}Charset: Shift_JIS${crlf}${crlf}\n\n"
  "response----------------------\n"
  "SAORI/1.0 200 OK${crlf}Result: ${result}${crlf}Charset: Shift_JIS${crlf}${crlf}\n\n"
  "template-string: \n\n")
