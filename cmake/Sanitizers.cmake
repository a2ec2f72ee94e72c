# KEBO_SANITIZE=address : AddressSanitizer + UndefinedBehaviorSanitizer
# KEBO_SANITIZE=thread  : ThreadSanitizer
if(KEBO_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(KEBO_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT KEBO_SANITIZE STREQUAL "")
  message(FATAL_ERROR "KEBO_SANITIZE must be empty, 'address' or 'thread'")
endif()
