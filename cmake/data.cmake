# The game's working directory ${VEKTORAK_DATA_DIR} holds every file it
# loads. Nothing is copied from the source tree: the artwork baker
# (tools/baker.cmake) writes the models, pictures, textures and vkt.txt
# there at build time, and the game's target depends on it.
