# The files beside the program that hold bases: Template.cds (a base with the built-in
# contents, from which new bases are made), the demonstration base Demo.CBB and the
# settings file Dorvin.ini naming it as the current base. cbbtool writes all three.
if(TARGET cbbtool)
  set(DORVIN_TEMPLATE_BASE ${DORVIN_BIN_DIR}/Template.cds)
  set(DORVIN_DEMO_BASE ${DORVIN_BIN_DIR}/Demo.CBB)
  set(DORVIN_SETTINGS ${DORVIN_BIN_DIR}/Dorvin.ini)

  add_custom_command(
    OUTPUT ${DORVIN_TEMPLATE_BASE}
    COMMAND cbbtool new ${DORVIN_TEMPLATE_BASE}
    DEPENDS cbbtool
    COMMENT "Writing Template.cds"
    VERBATIM)
  add_custom_command(
    OUTPUT ${DORVIN_DEMO_BASE} ${DORVIN_SETTINGS}
    COMMAND cbbtool demo ${DORVIN_DEMO_BASE} --ini ${DORVIN_SETTINGS}
    DEPENDS cbbtool
    COMMENT "Writing the demonstration base and Dorvin.ini"
    VERBATIM)
  add_custom_target(dorvin_bases ALL
    DEPENDS ${DORVIN_TEMPLATE_BASE} ${DORVIN_DEMO_BASE} ${DORVIN_SETTINGS})
endif()
