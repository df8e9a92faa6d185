# The layers of src/, bottom-up: each folder under src/ is one layer, and a layer may use
# (link and include from) only itself and the layers before it here. The build
# (clipmill_layer in the top CMakeLists.txt) and the include check (check_layers.cmake) both
# take the order from this one list.
set(CLIPMILL_LAYERS support platform net settings accounts browser engine catalogue update app ui)
