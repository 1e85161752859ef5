# Warnings for the project's own code: src/, tests/ and bench/ call kalvex_project_warnings()
# for their folder, so code brought in from elsewhere never gets -Werror.
include_guard(GLOBAL)

option(KALVEX_WERROR "Treat warnings in the project's own code as errors (CI's builds)" OFF)

function(kalvex_project_warnings)
    # add_compile_options applies to the folder of the caller and the folders below it.
    add_compile_options(-Wall -Wextra)
    if(KALVEX_WERROR)
        add_compile_options(-Werror)
    endif()
endfunction()
