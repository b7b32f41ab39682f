# Turns a text file into a C++ source defining `const char NAME[]` with the
# file's bytes and a closing zero, so that a table shipped beside the
# sources is also inside every program built from them.
#   cmake -DINPUT=file -DOUTPUT=file.cpp -DNAME=symbol -P embed_text.cmake
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
get_filename_component(name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp" "// Generated from ${name} at build time; edit that file instead.\nextern const char ${NAME}[];\nconst char ${NAME}[] = {\n${bytes}0};\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
