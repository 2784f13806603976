# Interactive line editing and history come from libedit (Debian's libedit-dev).
target_link_libraries(zydb PRIVATE edit)
