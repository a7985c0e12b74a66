# The guide must show every example whole, and its output whole where the output is fixed, so
# that the text a reader copies is the text the tests compile and run. Every C++ block of the
# guide must be one of the examples: no untested C++ code in the guide.

file(READ ${GUIDE} guide)
file(GLOB sources ${EXAMPLES}/*.cpp)
file(GLOB outputs ${EXAMPLES}/*.out)
set(missing "")
foreach(file ${sources} ${outputs})
  file(READ ${file} content)
  if(file MATCHES "\\.cpp$")
    set(block "```cpp\n${content}```\n")
  else()
    set(block "```text\n${content}```\n")
  endif()
  string(FIND "${guide}" "${block}" at)
  if(at EQUAL -1)
    string(APPEND missing "  ${file}\n")
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "${GUIDE} does not show these files verbatim in a fenced block; copy them "
                      "into the guide again:\n${missing}")
endif()

string(REGEX MATCHALL "```cpp\n" cpp_blocks "${guide}")
list(LENGTH cpp_blocks shown)
list(LENGTH sources examples)
if(NOT shown EQUAL examples)
  message(FATAL_ERROR "${GUIDE} has ${shown} C++ blocks but there are ${examples} examples; "
                      "every C++ block must be an example from ${EXAMPLES} (add the code as one)")
endif()
message("the guide shows all ${examples} examples")
