# One place for the flags every target of ours is built with.
add_library(velkan_flags INTERFACE)
target_compile_options(velkan_flags INTERFACE -Wall -Wextra -Wpedantic
  $<$<COMPILE_LANGUAGE:CXX>:-Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual -Wshadow>)
target_compile_definitions(velkan_flags INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
if(VELKAN_WERROR)
  target_compile_options(velkan_flags INTERFACE -Werror)
endif()

if(VELKAN_ASAN AND VELKAN_TSAN)
  message(FATAL_ERROR "VELKAN_ASAN and VELKAN_TSAN cannot be combined")
endif()
if(VELKAN_ASAN)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(VELKAN_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# Collects the sources of a directory. Each layer lives in one folder, so a
# glob keeps the lists in step as files are added.
function(velkan_sources out dir)
  file(GLOB _srcs CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
  set(${out} ${_srcs} PARENT_SCOPE)
endfunction()
