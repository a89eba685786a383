# Every target of the project compiles with the same strict warning set.
add_compile_options(-Wall -Wextra -Werror)
