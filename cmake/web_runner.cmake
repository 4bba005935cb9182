# Writes the node runner as one file: its host code with the module in it.
# cmake -DRUNNER=web/tavelo-node.js -DMODULE=tavelo.js -DOUTPUT=tavelo-node -P web_runner.cmake
file(READ ${RUNNER} runner)
file(READ ${MODULE} module)
string(REPLACE "/* @TAVELO_MODULE@ */" "${module}" runner "${runner}")
file(WRITE ${OUTPUT} "${runner}")
file(CHMOD ${OUTPUT} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
  WORLD_READ WORLD_EXECUTE)
