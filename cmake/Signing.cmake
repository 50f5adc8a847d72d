# quillon_sign(target): signs the target's program with Authenticode right after every link, when the build
# settings name a certificate (QUILLON_SIGN_PKCS12 and QUILLON_SIGN_PASSWORD_FILE); without them it does
# nothing. Any program that ships (the installer, the uninstaller) calls it.
if(QUILLON_SIGN_PKCS12 OR QUILLON_SIGN_PASSWORD_FILE)
  if(NOT QUILLON_SIGN_PKCS12 OR NOT QUILLON_SIGN_PASSWORD_FILE)
    message(FATAL_ERROR "Signing needs both QUILLON_SIGN_PKCS12 and QUILLON_SIGN_PASSWORD_FILE")
  endif()
  foreach(sign_file QUILLON_SIGN_PKCS12 QUILLON_SIGN_PASSWORD_FILE)
    if(NOT EXISTS "${${sign_file}}")
      message(FATAL_ERROR "${sign_file}: ${${sign_file}} does not exist")
    endif()
  endforeach()
  find_program(QUILLON_OSSLSIGNCODE osslsigncode REQUIRED)
endif()

function(quillon_sign target)
  if(NOT QUILLON_SIGN_PKCS12)
    return()
  endif()
  get_filename_component(pkcs12 "${QUILLON_SIGN_PKCS12}" ABSOLUTE)
  get_filename_component(password_file "${QUILLON_SIGN_PASSWORD_FILE}" ABSOLUTE)
  set(timestamp)
  if(QUILLON_SIGN_TIMESTAMP_URL)
    set(timestamp --timestamp-url "${QUILLON_SIGN_TIMESTAMP_URL}")
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND bash "${PROJECT_SOURCE_DIR}/scripts/sign.sh" --pkcs12 "${pkcs12}" --password-file "${password_file}"
            ${timestamp} --description "$<TARGET_FILE_BASE_NAME:${target}>" "$<TARGET_FILE:${target}>"
    COMMENT "Signing $<TARGET_FILE_NAME:${target}>"
    VERBATIM)
  # A new certificate signs again.
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${pkcs12}")
endfunction()
