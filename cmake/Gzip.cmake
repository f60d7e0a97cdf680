# SPDX-License-Identifier: MIT
# can_tester_gzip(FILE): builds FILE.gz beside FILE, as Debian wants shipped
# documents compressed: best compression, no name and no time stamp inside,
# so the same input always gives the same bytes.
function(can_tester_gzip file)
  get_filename_component(name ${file} NAME)
  add_custom_command(OUTPUT ${file}.gz
                     COMMAND gzip -9nkf ${file}
                     DEPENDS ${file}
                     COMMENT "Compressing ${name}"
                     VERBATIM)
  string(MAKE_C_IDENTIFIER "gzip_${name}" target)
  add_custom_target(${target} ALL DEPENDS ${file}.gz)
endfunction()
