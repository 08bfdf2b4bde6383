"""What the end-to-end suite, the benchmarks and the screenshots share to run the real program:
its frame and a pseudo-terminal for the device (frame, device), an X server with a tray
(xsession), a user's directories and a run of the program (program), and the places in its
window (scene), a Wayland session with a tray (wsession), systemd's notification socket
(notify), the frames the tests expect (expect), and the command line and failure report every
scenario script shares (runner). Python's standard library only, but for wsession's D-Bus.

Scripts put this package's folder, tools/harness, on sys.path from their own location."""
