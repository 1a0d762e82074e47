# Install-time part of the install rules: writes the launcher and the desktop
# entry for the prefix being installed to, then installs them.
#
# Set by the caller: ZORV_TEMPLATE_DIR, ZORV_WORK_DIR, and the install dirs
# ZORV_BINDIR, ZORV_GAMEDIR, ZORV_SONGSDIR, ZORV_APPSDIR (relative to the
# prefix, or absolute).

function(zorv_full_path out dir)
  if(IS_ABSOLUTE "${dir}")
    set(${out} "${dir}" PARENT_SCOPE)
  else()
    set(${out} "${CMAKE_INSTALL_PREFIX}/${dir}" PARENT_SCOPE)
  endif()
endfunction()

# For a single-quoted shell word.
function(zorv_shell_quote out text)
  string(REPLACE "'" "'\\''" text "${text}")
  set(${out} "'${text}'" PARENT_SCOPE)
endfunction()

# One argument of a desktop entry's Exec key, before the string escapes below.
function(zorv_desktop_exec_arg out text)
  string(REPLACE "%" "%%" text "${text}")
  if(text MATCHES "[ \t\n\"'\\\\<>~|&;$*?#()`]")
    string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" text "${text}")
    set(text "\"${text}\"")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Desktop entry values have their own escapes: \\ \s \n \t \r.
function(zorv_desktop_string out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\t" "\\t" text "${text}")
  string(REPLACE "\n" "\\n" text "${text}")
  string(REGEX REPLACE "^ " "\\\\s" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

zorv_full_path(bindir "${ZORV_BINDIR}")
zorv_full_path(gamedir "${ZORV_GAMEDIR}")
zorv_full_path(songsdir "${ZORV_SONGSDIR}")
zorv_full_path(appsdir "${ZORV_APPSDIR}")

# The launcher first tries the game, zorv-open and the songs at the same place relative to
# itself, which survives moving the whole prefix; the absolute paths are the
# fallback for a bin folder placed elsewhere.
file(RELATIVE_PATH ZORV_REL_GAME "${bindir}" "${gamedir}/zorv")
file(RELATIVE_PATH ZORV_REL_OPEN "${bindir}" "${gamedir}/zorv-open")
file(RELATIVE_PATH ZORV_REL_SONGS "${bindir}" "${songsdir}")
zorv_shell_quote(ZORV_REL_GAME_Q "${ZORV_REL_GAME}")
zorv_shell_quote(ZORV_REL_OPEN_Q "${ZORV_REL_OPEN}")
zorv_shell_quote(ZORV_REL_SONGS_Q "${ZORV_REL_SONGS}")
zorv_shell_quote(ZORV_FULL_GAME_Q "${gamedir}/zorv")
zorv_shell_quote(ZORV_FULL_OPEN_Q "${gamedir}/zorv-open")
zorv_shell_quote(ZORV_FULL_SONGS_Q "${songsdir}")

zorv_desktop_exec_arg(exec "${bindir}/zorv")
zorv_desktop_string(ZORV_DESKTOP_EXEC "${exec}")
zorv_desktop_string(ZORV_DESKTOP_PATH "${songsdir}")

# One work folder per destination, so two installs at once do not share files.
string(MD5 key "$ENV{DESTDIR}|${CMAKE_INSTALL_PREFIX}")
set(work "${ZORV_WORK_DIR}/${key}")
configure_file("${ZORV_TEMPLATE_DIR}/zorv.sh.in" "${work}/zorv" @ONLY)
configure_file("${ZORV_TEMPLATE_DIR}/zorv.desktop.in" "${work}/zorv.desktop" @ONLY)

file(INSTALL DESTINATION "${bindir}" TYPE PROGRAM FILES "${work}/zorv")
file(INSTALL DESTINATION "${appsdir}" TYPE FILE FILES "${work}/zorv.desktop")
