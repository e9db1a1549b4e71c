# cmake -DDIR=<folder> -P MakeLinks.cmake: <folder> afresh, holding a folder "decoy"
# and "link", a link to it (a Windows program cannot make one under Wine).
file(REMOVE_RECURSE ${DIR})
file(MAKE_DIRECTORY ${DIR}/decoy)
file(CREATE_LINK ${DIR}/decoy ${DIR}/link SYMBOLIC)
