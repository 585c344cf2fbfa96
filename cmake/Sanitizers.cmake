# NX_SANITIZE=address builds everything with AddressSanitizer and UndefinedBehaviorSanitizer,
# NX_SANITIZE=thread with ThreadSanitizer.
if(NX_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(NX_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT NX_SANITIZE STREQUAL "")
  message(FATAL_ERROR "NX_SANITIZE must be empty, 'address' or 'thread'")
endif()
